// Texts of windows and controls, in Shift_JIS: converted to and from UTF-16
// (framework/win32/WideText.h) and passed to the W functions, so that every
// system locale shows and returns the same text.
#pragma once

#include <windows.h>

#include "framework/CString.h"

// The whole text of a window or control, however long; empty for no window.
// Characters without a Shift_JIS form come back as "?".
CString WindowText(HWND window);
// The same; false when some character has no Shift_JIS form.
bool ReadWindowText(HWND window, CString* text);
// True when the window holds any text.
bool HasWindowText(HWND window);
// Sets the text of a window or control (null: empty).
void WriteWindowText(HWND window, const char* text);
// Sets the text of a dialog's control.
void WriteDlgItemText(HWND dialog, int id, const char* text);

// List views: a column, and a row's first column.
void InsertListColumn(HWND list, int index, const char* heading, int width);
void InsertListRow(HWND list, int row, const char* text);

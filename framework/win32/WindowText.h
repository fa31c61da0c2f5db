// The whole text of a window or control, however long; empty for no window.
#pragma once

#include <windows.h>

#include "framework/CString.h"

inline CString WindowText(HWND window)
{
    CString text;
    if (!window)
        return text;
    int length = ::GetWindowTextLengthA(window);
    if (length <= 0)
        return text;
    char* buffer = text.GetBuffer(length + 1);
    int got = ::GetWindowTextA(window, buffer, length + 1);
    text.ReleaseBuffer(got > 0 ? got : 0);
    return text;
}

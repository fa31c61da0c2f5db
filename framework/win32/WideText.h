// The one place where the program's Shift_JIS text meets Windows' UTF-16.
// Code page 932 is named explicitly (never the system's ANSI code page), so
// the program reads and writes the same bytes on every system locale; every
// Win32 call made with these texts is a W function.
#pragma once

#include <string>

#include "framework/CString.h"

namespace wide {

// Shift_JIS to UTF-16 by code page 932. A byte sequence that is no Shift_JIS
// character becomes the code page's default character; null or empty: "".
std::wstring FromSjis(const char* text, std::size_t length);
std::wstring FromSjis(const char* text);
std::wstring FromSjis(const CString& text);

// UTF-16 to Shift_JIS by code page 932, without best-fit replacements (an "ü"
// never becomes "u"). Answers true when every character has a Shift_JIS form;
// otherwise *out still receives the text, each such character as "?" (which
// no Windows path may hold), and the answer is false. A lone surrogate counts
// as such a character.
bool ToSjis(const wchar_t* text, std::size_t length, CString* out);
// The same, for display: characters without a Shift_JIS form become "?".
CString ToSjis(const wchar_t* text, std::size_t length);
CString ToSjis(const std::wstring& text);
// A zero-terminated text (null: "").
CString ToSjisZ(const wchar_t* text);

// A path for the W file functions. An absolute path too long for the classic
// limit (MAX_PATH) gets the "\\?\" form ("\\?\UNC\server\share\..." for a
// network path), made from its full path, so that long store and output
// folders work on every Windows; other paths are converted as they are.
std::wstring FilePath(const char* path);

}  // namespace wide

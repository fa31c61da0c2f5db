// Text in a MIME charset turned into Shift_JIS (code page 932 as Windows
// maps it), the same bytes in every build.
//
// Charset names compare without regard to ASCII case; surrounding blanks and
// double quotes are ignored. One table of names and aliases serves every
// build.
#pragma once

#include <cstddef>

#include "framework/CString.h"

// How text labelled with a charset becomes Shift_JIS.
enum class CharsetRoute {
    kJis,       // no charset, ISO-2022-JP and US-ASCII: the ISO-2022-JP converter
                // (Shift_JIS and ASCII bytes pass through it unchanged)
    kAsIs,      // Shift_JIS, CP932, Windows-31J: already Shift_JIS
    kConvert,   // another known charset: converted
    kUnknown,   // a charset no converter knows: the text stays as it is
};

CharsetRoute CharsetRouteFor(const char* name, std::size_t length);
inline CharsetRoute CharsetRouteFor(const CString& name)
{
    return CharsetRouteFor(name.GetString(), static_cast<std::size_t>(name.GetLength()));
}

// The Shift_JIS code of the geta mark "〓", which stands for each character
// that code page 932 cannot hold.
extern const char kGetaMark[3];

// Appends the n bytes at text, in the named charset, converted to Shift_JIS
// to out; a character that code page 932 cannot hold, and a byte sequence
// that is no character of the charset, becomes the geta mark. An unknown
// charset appends text unchanged and answers false.
bool AppendAsSjis(const char* charset, std::size_t charsetLength, const char* text, std::size_t n, CString& out);
inline bool AppendAsSjis(const CString& charset, const char* text, std::size_t n, CString& out)
{
    return AppendAsSjis(charset.GetString(), static_cast<std::size_t>(charset.GetLength()), text, n, out);
}

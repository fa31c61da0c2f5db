// Text in a MIME charset turned into Shift_JIS (code page 932 as Windows
// maps it), the same bytes in every build.
//
// Charset names compare as Python's codecs compare them: without regard to
// ASCII case, and with every run of characters other than letters, digits and
// "." counting as one "_" (none at the ends), so "ISO-8859-1", "iso_8859_1"
// and "\"iso-8859-1\"" are one name. A label of nothing but blanks and double
// quotes is no charset. One table of names and aliases serves every build.
#pragma once

#include <cstddef>

#include "framework/CString.h"

// How text labelled with a charset becomes Shift_JIS.
enum class CharsetRoute {
    kJis,       // no charset, ISO-2022-JP and US-ASCII: the ISO-2022-JP converter
                // (Shift_JIS and ASCII bytes pass through it unchanged)
    kAsIs,      // Shift_JIS, CP932, Windows-31J: already Shift_JIS
    kConvert,   // another known charset: decoded to Unicode (EUC-JP: to JIS)
                // and turned into Shift_JIS
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
// charset, and one this system has no converter for (a Windows without code
// page 54936 for GB18030), appends text unchanged and answers false. On the
// JIS route the result ends at its first NUL byte, as ConvertStringJisToSjis
// keeps it. Text longer than 0x3FFFFFFF bytes appends nothing and answers
// false.
bool AppendAsSjis(const char* charset, std::size_t charsetLength, const char* text, std::size_t n, CString& out);
inline bool AppendAsSjis(const CString& charset, const char* text, std::size_t n, CString& out)
{
    return AppendAsSjis(charset.GetString(), static_cast<std::size_t>(charset.GetLength()), text, n, out);
}

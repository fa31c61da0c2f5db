// Shift_JIS (code page 932) character walking. A trail byte may be 0x5C ("\")
// or 0x7C ("|"), so searches for those characters step over whole characters.
#pragma once

#include <cstdint>
#include <functional>

#include "framework/CString.h"
#include "framework/Types.h"

// True for a byte that starts a double-byte character in code page 932.
inline bool IsSjisLeadByte(BYTE b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// True for a byte that may follow a lead byte as the second byte of a
// double-byte character in code page 932.
inline bool IsSjisTrailByte(BYTE b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Length in bytes of the character at text[index]: 2 for a lead byte followed
// by another byte, else 1.
int SjisCharLength(const CString& text, int index);

// One bit per lead and trail byte pair: set when code page 932 assigns the
// double-byte character (bit trail % 32 of word lead * 8 + trail / 32).
struct Cp932AssignedBits {
    std::uint32_t words[256 * 8];
};
extern const Cp932AssignedBits kCp932Assigned;

// True when lead and trail make a double-byte character that code page 932
// assigns (JIS X 0208, the NEC and IBM extensions, the user-defined area).
inline bool IsCp932Assigned(BYTE lead, BYTE trail)
{
    return (kCp932Assigned.words[lead * 8u + trail / 32u] >> (trail % 32u)) & 1u;
}

// Index of the first single-byte character ch at or after start, or -1.
int SjisFind(const CString& text, char ch, int start = 0);
// Index of the last single-byte character ch, or -1.
int SjisReverseFind(const CString& text, char ch);
// True when the last character of text is the single-byte character ch.
bool SjisEndsWith(const CString& text, char ch);
// Removes every trailing single-byte character ch.
void SjisTrimRight(CString& text, char ch);
// Largest length <= maxBytes that does not cut a double-byte character.
int SjisClampLength(const CString& text, int maxBytes);
// True when a and b are equal, single-byte ASCII letters compared without
// regard to case (a trail byte is never folded).
bool SjisEqualNoCase(const CString& a, const CString& b);
// The width of the character of length bytes at text, in the caller's unit.
using SjisWidth = std::function<int(const char* text, int length)>;
// The path cut into lines no wider than maxWidth (each with at least one
// character), joined by "\n": each ends after a "\" where the line has one,
// else at a character boundary; the characters themselves stay as they are.
CString SjisWrapPath(const CString& path, int maxWidth, const SjisWidth& width);
// The same counting bytes, at most maxBytes (at least 2) a line. A message box
// then fits the screen however long the path.
CString SjisWrapPath(const CString& path, int maxBytes);
// The text with each run of single-byte characters other than blanks and line
// breaks (text a message box cannot break: it breaks lines at blanks and
// between Japanese characters) that is wider than maxWidth cut as
// SjisWrapPath cuts a path; the rest stays as it is.
CString SjisBreakLongRuns(const CString& text, int maxWidth, const SjisWidth& width);

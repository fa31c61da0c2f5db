// Decoding of the Content-Transfer-Encodings of a body (base64 and
// quoted-printable) as mail readers decode them: leniently, so that the text
// of slightly broken mail is read rather than shown encoded.
#pragma once

#include <array>
#include <cstddef>

#include "framework/CString.h"

enum class TransferEncoding {
    kIdentity,          // 7bit, 8bit, binary, none, or one no decoder knows
    kBase64,
    kQuotedPrintable,
};

// The encoding a Content-Transfer-Encoding token names (ASCII case ignored).
TransferEncoding TransferEncodingFor(const CString& token);

// The 6-bit value of each byte in the Base64 alphabet; kNotBase64 for every
// other byte (its high bit set, so that values may be or-ed and tested once).
constexpr unsigned char kNotBase64 = 0x80;
extern const std::array<unsigned char, 256> kBase64Value;

// Appends the bytes that the n bytes of Base64 at text stand for to out.
// Bytes outside the alphabet (line ends, blanks, stray marks) are skipped;
// decoding ends at the "=" padding that completes a group, and a last group
// of two or three characters without padding gives its one or two bytes.
// A last group of a single character cannot be decoded: then nothing is
// appended and the answer is false.
bool AppendBase64Decoded(const char* text, std::size_t n, CString& out);

// Appends the quoted-printable text (n bytes at text) decoded to out: "=XX"
// (hex digits of either case) is the byte XX, "=" at a line end is a soft
// line break (with the line end it joins), "==" is "=", an "=" at the very
// end goes, and any other "=" stays as it stands. In header mode (the Q
// encoding of encoded words) "_" is a space.
void AppendQuotedPrintableDecoded(const char* text, std::size_t n, CString& out, bool header = false);

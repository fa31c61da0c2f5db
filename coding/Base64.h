// Base64 decoding and the decoding of header values that hold MIME encoded
// words ("=?charset?B?...?=", "=?charset?Q?...?=") into Shift_JIS.
#pragma once

#include "framework/CString.h"
#include "framework/Types.h"

// A Base64 decoder (standard alphabet), made on the stack for one decoding.
// Each Decode must be preceded by its own GetDecodeBufferSize.
class CBase64 {
public:
    CBase64();

    // Answers (n + 3) / 4 * 3, the output size Decode needs for n input bytes
    // (callers add one byte for a terminating NUL), and arms Decode.
    int GetDecodeBufferSize(int n);

    // Decodes n bytes of text into output.
    //   0  success; decodedLength holds the number of bytes written
    //   1  not valid Base64: n not a multiple of 4 (nothing written), or a
    //      byte outside the alphabet in a position that is looked at
    //   2  GetDecodeBufferSize was not called first (a message box says so)
    // Every call disarms the decoder. In the last group, "=" as the third byte
    // gives one byte (the fourth is not looked at); "=" as the fourth gives
    // two. "=" anywhere else is outside the alphabet.
    int Decode(int n, int& decodedLength, const char* text, BYTE* output);

private:
    bool m_bReady = false;
};

// Base64-decodes the text of one encoded word and converts the bytes from
// ISO-2022-JP to Shift_JIS (from the converter's initial state). The
// Base64 is read as mail readers read it (AppendBase64Decoded). Text that is
// not Base64 comes back unchanged.
CString DecodeEncodedText(const CString& base64Text);

// Decodes a whole header value into result, which is emptied first.
//
// Each encoded word "=?charset?B?text?=" or "=?charset?Q?text?=" (charset,
// encoding and Base64 letters in any case; the charset may carry an RFC 2231
// "*language", which is ignored) is decoded on its own, as mail readers
// decode it: B is Base64 (AppendBase64Decoded: padding missing or to spare,
// stray bytes skipped), Q is RFC 2047's ("_" a space, "=" and two hex digits
// a byte, any other "=" kept as it stands). The bytes are turned into
// Shift_JIS from the word's charset (AppendAsSjis; ISO-2022-JP from the
// converter's initial state for each word). A word whose charset no
// converter knows (unless its text is all ASCII, which every charset reads
// alike), or whose text does not decode, stays exactly as it stands, markers
// included, and the other words are decoded all the same. A "=?" that opens
// no well-formed word (charset, "?", B or Q, "?", printable text without "?"
// or blanks, 8-bit bytes too in Q text, "?=") is plain text.
//
// White space alone between two decoded words goes (RFC 2047); next to a
// word kept as it stands it stays.
//
// The text outside the words is read, for the whole value at once, as UTF-8
// when the value is valid UTF-8 and holds a byte of 128 or above; otherwise
// it goes through the ISO-2022-JP converter, which passes Shift_JIS and ASCII
// unchanged (and keeps nothing after a NUL byte). Each run of it between two
// words is converted on its own. A value without "=?" and without 8-bit
// bytes is simply converted from ISO-2022-JP as a whole.
//
// value is taken by copy, so result may be the caller's own value string.
void DecodeHeaderValue(CString value, CString& result);

// Base64 decoding and the decoding of header values that hold ISO-2022-JP
// "B" encoded words ("=?iso-2022-jp?b?...?=") into Shift_JIS.
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
// ISO-2022-JP to Shift_JIS (from the converter's initial state). Text that is
// not valid Base64 comes back unchanged.
CString DecodeEncodedText(const CString& base64Text);

// Decodes a whole header value into result, which is emptied first. Encoded
// words "=?iso-2022-jp?b?...?=" (case ignored) are decoded one by one; the text
// around and between them (blanks included) is copied unchanged, but for
// white space alone between two encoded words, which goes (RFC 2047). A value
// without any "=?" is converted from ISO-2022-JP as a whole. A "=?" that does
// not open an ISO-2022-JP B word, or such an opening without its "?=", makes
// the result the whole value unchanged. value is taken by copy, so result may
// be the caller's own value string.
void DecodeHeaderValue(CString value, CString& result);

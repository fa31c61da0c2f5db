// Fuzz target: Base64 decoding into an exactly sized buffer, encoded-word
// text and whole header values (encoded words in every charset and both
// encodings, raw UTF-8, ISO-2022-JP and Shift_JIS text).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "coding/Base64.h"
#include "framework/CString.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    const int n = static_cast<int>(size);
    const char* text = reinterpret_cast<const char*>(data);

    CBase64 b;
    const int need = b.GetDecodeBufferSize(n);
    std::vector<BYTE> out(static_cast<size_t>(need));   // no spare byte: overruns show
    int length = -1;
    const int r = b.Decode(n, length, text, out.data());
    if (r != 0 && r != 1)
        std::abort();
    if (r == 0 && (length < 0 || length > need))
        std::abort();

    const CString value(text, n);
    CString word = DecodeEncodedText(value);
    if (word.GetLength() > n)
        std::abort();
    // Every decoded byte becomes at most one two-byte Shift_JIS character, and
    // text never decodes to more bytes than it holds.
    CString result;
    DecodeHeaderValue(value, result);
    if (result.GetLength() > 2 * n)
        std::abort();
    DecodeHeaderValue(result, result);   // result as its own input
    return 0;
}

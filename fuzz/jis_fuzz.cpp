// Fuzz target: ISO-2022-JP to Shift_JIS conversion. The first byte picks the
// output capacity; the output buffer is exactly capacity + 1 bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "coding/Jis.h"
#include "framework/CString.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > (1u << 20))
        return 0;
    const int n = static_cast<int>(size - 1);
    const char* in = reinterpret_cast<const char*>(data + 1);
    const int capacity = data[0] == 0xFF ? n : n * data[0] / 255;

    std::vector<char> out(static_cast<size_t>(capacity) + 1);
    int length = capacity;
    ResetJisDecoder();
    ConvertJisToSjis(in, n, out.data(), length);
    if (length < 0 || length > capacity || out[static_cast<size_t>(length)] != '\0')
        std::abort();

    // With the input length as capacity nothing is dropped, and text without
    // ESC, SO or SI passes unchanged.
    std::vector<char> full(static_cast<size_t>(n) + 1);
    int fullLength = n;
    ResetJisDecoder();
    ConvertJisToSjis(in, n, full.data(), fullLength);
    if (std::memcmp(full.data(), out.data(), static_cast<size_t>(length)) != 0)
        std::abort();
    if (!std::memchr(in, 0x1B, static_cast<size_t>(n)) && !std::memchr(in, 0x0E, static_cast<size_t>(n)) &&
        !std::memchr(in, 0x0F, static_cast<size_t>(n)) &&
        (fullLength != n || std::memcmp(full.data(), in, static_cast<size_t>(n)) != 0))
        std::abort();

    CString s(in, n);
    ConvertStringJisToSjis(s);
    if (s.GetLength() > n)
        std::abort();
    return 0;
}

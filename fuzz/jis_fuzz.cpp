// Fuzz target: ISO-2022-JP to Shift_JIS conversion. The first byte picks the
// output capacity; the output buffer is exactly capacity + 1 bytes. The same
// text converted in place and in pieces must give the same result.
#include <algorithm>
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
    CJisConverter().Convert(in, n, out.data(), length);
    if (length < 0 || length > capacity || out[static_cast<size_t>(length)] != '\0')
        std::abort();

    // With the input length as capacity nothing is dropped, and text without
    // ESC, SO or SI passes unchanged.
    std::vector<char> full(static_cast<size_t>(n) + 1);
    int fullLength = n;
    CJisConverter().Convert(in, n, full.data(), fullLength);
    if (std::memcmp(full.data(), out.data(), static_cast<size_t>(length)) != 0)
        std::abort();
    if (!std::memchr(in, 0x1B, static_cast<size_t>(n)) && !std::memchr(in, 0x0E, static_cast<size_t>(n)) &&
        !std::memchr(in, 0x0F, static_cast<size_t>(n)) &&
        (fullLength != n || std::memcmp(full.data(), in, static_cast<size_t>(n)) != 0))
        std::abort();

    // In place, and in pieces of lengths the input picks: the full result up
    // to its first NUL.
    const std::size_t text = strnlen(full.data(), static_cast<size_t>(fullLength));
    CString s(in, n);
    ConvertStringJisToSjis(s);
    if (static_cast<std::size_t>(s.GetLength()) != text || std::memcmp(s.GetString(), full.data(), text) != 0)
        std::abort();
    CJisToSjisStream stream;
    std::vector<char> joined;
    std::vector<char> piece(static_cast<size_t>(n) + CJisToSjisStream::kHeldBack + 1);
    for (int at = 0, k = 0; at < n; ++k) {
        const int length = std::min(n - at, 1 + data[1 + k % n] % 7);
        const int keep = stream.Convert(in + at, length, piece.data());
        if (keep < 0 || keep > length + CJisToSjisStream::kHeldBack)
            std::abort();
        joined.insert(joined.end(), piece.data(), piece.data() + keep);
        at += length;
    }
    if (joined.size() != text || (text > 0 && std::memcmp(joined.data(), full.data(), text) != 0))
        std::abort();
    return 0;
}

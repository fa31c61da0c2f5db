// Searching bytes in the text of messages, sixteen or eight bytes at a time.
// The C runtime that Wine gives a Windows program finds a byte one byte at a
// time (memchr, strnlen), which made these searches a good part of a
// conversion's time there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The first byte c in [p, p + n), or null.
inline const char* FindByte(const char* p, std::size_t n, char c)
{
#if !defined(_WIN32)
    // Elsewhere the C library's own search is the faster one.
    return n == 0 ? nullptr : static_cast<const char*>(std::memchr(p, c, n));
#else
    const char* const end = p + n;
#if defined(__SSE2__)
    // Every x86-64 processor has SSE2.
    const __m128i wanted = _mm_set1_epi8(c);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted)))
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    // A word holds c when w ^ c... has a zero byte.
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(c);
    while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        w ^= pattern;
        if ((w - kOnes) & ~w & kHigh)
            break;
        p += 8;
    }
    for (; p < end; ++p)
        if (*p == c)
            return p;
    return nullptr;
#endif
}

// The first occurrence of needle (needleLength bytes) in [text, text +
// length), or null; an empty needle is found at text.
inline const char* FindBytes(const char* text, std::size_t length, const char* needle, std::size_t needleLength)
{
    if (needleLength == 0)
        return text;
    const char* p = text;
    const char* const last = needleLength <= length ? text + (length - needleLength) : nullptr;
    while (last && p <= last) {
        const char* hit = FindByte(p, static_cast<std::size_t>(last - p) + 1, needle[0]);
        if (!hit)
            return nullptr;
        if (std::memcmp(hit + 1, needle + 1, needleLength - 1) == 0)
            return hit;
        p = hit + 1;
    }
    return nullptr;
}

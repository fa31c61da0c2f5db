// ISO-2022-JP to Shift_JIS state machine.
#include "coding/Jis.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "framework/Sjis.h"

namespace {

// JisDecoderState's values.
// kKana is shifted in by SO, kKanaSet designated by ESC ( I: the text is
// the same, but a designation is replaced by the next one, not returned to.
enum Mode : unsigned char { kNone = 0, kAscii = 1, kKanji = 2, kKana = 3, kKanaSet = 4 };
enum Escape : unsigned char { kEscNone = 0, kEscStarted = 1, kEscIntermediate = 2 };

constexpr unsigned char ESC = 0x1B;
constexpr unsigned char SO = 0x0E;
constexpr unsigned char SI = 0x0F;
// The geta mark "〓" in Shift_JIS.
constexpr unsigned char kGeta1 = 0x81;
constexpr unsigned char kGeta2 = 0xAC;

using JisState = JisDecoderState;

// JIS X 0208 pair -> Shift_JIS bytes on 8-bit values (sums modulo 256), by
// first byte and, for the second output byte, by the first byte's parity.
struct PairTables {
    unsigned char s1[256];
    unsigned char s2[2][256];
};

constexpr PairTables MakePairTables()
{
    PairTables t{};
    for (int j = 0; j < 256; ++j) {
        int s1 = (((j - 0x21) & 0xFF) >> 1) + 0x81;
        s1 &= 0xFF;
        if (s1 > 0x9F)
            s1 = (s1 + 0x40) & 0xFF;
        t.s1[j] = static_cast<unsigned char>(s1);
        for (int odd = 0; odd < 2; ++odd) {
            int s2 = (j + (odd ? 0x1F : 0x7D)) & 0xFF;
            if (s2 >= 0x7F)
                s2 = (s2 + 1) & 0xFF;
            t.s2[odd][j] = static_cast<unsigned char>(s2);
        }
    }
    return t;
}
constexpr PairTables kPair = MakePairTables();

inline bool IsKanjiByte(unsigned char b)
{
    return b >= 0x21 && b <= 0xFC;
}

// For each first byte j1, a run of second bytes j2 (from lo, count long)
// whose pairs code page 932 all assigns: the longest such run, so that whole
// rows of kanji and kana convert without a look at the assignment. Other
// pairs take the byte-by-byte path, which looks.
struct FastRuns {
    unsigned char lo[256];
    unsigned char count[256];
};

const FastRuns& Runs()
{
    static const FastRuns runs = [] {
        FastRuns r{};
        for (int j1 = 0x21; j1 <= 0xFC; ++j1) {
            int start = 0;
            for (int j2 = 0x21; j2 <= 0xFD; ++j2) {
                const bool ok = j2 <= 0xFC && IsCp932Assigned(kPair.s1[j1], kPair.s2[j1 & 1][j2]);
                if (ok && start == 0)
                    start = j2;
                if (!ok && start != 0) {
                    if (j2 - start > r.count[j1]) {
                        r.lo[j1] = static_cast<unsigned char>(start);
                        r.count[j1] = static_cast<unsigned char>(j2 - start);
                    }
                    start = 0;
                }
            }
        }
        return r;
    }();
    return runs;
}

// Writes the Shift_JIS pair of the JIS pair j1 j2 at out: the geta mark when
// code page 932 assigns no character there (rows 85 to 88, where some phones
// put their pictograms, and what 8-bit bytes make), so the text stays
// Shift_JIS and keeps its length.
inline void PutPair(unsigned char* out, unsigned char j1, unsigned char j2)
{
    const unsigned char s1 = kPair.s1[j1];
    const unsigned char s2 = kPair.s2[j1 & 1][j2];
    const bool assigned = IsCp932Assigned(s1, s2);
    out[0] = assigned ? s1 : kGeta1;
    out[1] = assigned ? s2 : kGeta2;
}

// The first ESC, SO or SI in [p, end), or end. Eight bytes at a time: a
// word holds one when (w ^ ESC...) or ((w | 1...) ^ SI...) has a zero byte
// (SO and SI differ only in the lowest bit).
const unsigned char* FindShift(const unsigned char* p, const unsigned char* end)
{
#if defined(__SSE2__)
    // Sixteen bytes at a time where the processor has SSE2 (every x86-64).
    const __m128i esc = _mm_set1_epi8(ESC);
    const __m128i si = _mm_set1_epi8(SI);
    const __m128i one = _mm_set1_epi8(1);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, esc), _mm_cmpeq_epi8(_mm_or_si128(v, one), si));
        if (const int mask = _mm_movemask_epi8(hit))
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        const std::uint64_t esc = w ^ (kOnes * ESC);
        const std::uint64_t shift = (w | kOnes) ^ (kOnes * SI);
        if (((esc - kOnes) & ~esc & kHigh) | ((shift - kOnes) & ~shift & kHigh))
            break;
        p += 8;
    }
    while (p < end && *p != ESC && *p != SO && *p != SI)
        ++p;
    return p;
}

// Output with a capacity: bytes beyond it are dropped.
struct Sink {
    unsigned char* out;
    int pos;
    int cap;
    void Put(unsigned char b)
    {
        if (pos < cap)
            out[pos++] = b;
    }
};

inline void LeaveMode(JisState& s)
{
    if (s.mode != kAscii) {
        s.outer = s.mode == kKanaSet ? static_cast<unsigned char>(kNone) : s.mode;
        s.mode = kAscii;
    }
    s.escape = kEscNone;
}

inline void Enter(JisState& s, Mode m)
{
    s.returnTo = s.outer;
    s.outer = kNone;
    s.pending = false;
    s.escape = kEscNone;
    s.mode = m;
}

inline void Return(JisState& s)
{
    s.mode = s.returnTo == kNone ? static_cast<unsigned char>(kAscii) : s.returnTo;
    s.returnTo = kNone;
    s.outer = kNone;
    s.escape = kEscNone;
}

inline void ResetStep(JisState& s)
{
    s.mode = kAscii;
    s.returnTo = kNone;
    s.outer = kNone;
    s.escape = kEscNone;
}

// A byte outside any escape sequence that the current mode does not take.
inline void PlainByte(JisState& s, Sink& sink, unsigned char b)
{
    switch (b) {
    case ESC:
        LeaveMode(s);
        s.escape = kEscStarted;
        break;
    case SO:
        LeaveMode(s);
        Enter(s, kKana);
        break;
    case SI:
        LeaveMode(s);
        Return(s);
        break;
    default:
        sink.Put(b);
        ResetStep(s);
        break;
    }
}

inline void EscapeByte(JisState& s, Sink& sink, unsigned char b)
{
    if (s.escape == kEscStarted) {
        if (b == 0x24 || b == 0x28) {
            s.intermediate = b;
            s.escape = kEscIntermediate;
        } else if (b == 0x4B) {
            Enter(s, kKanji);
        } else if (b == 0x48) {
            Return(s);
        } else {
            sink.Put(ESC);
            ResetStep(s);
            PlainByte(s, sink, b);
        }
        return;
    }
    const unsigned char i = s.intermediate;
    if (i == 0x24 && (b == 0x40 || b == 0x42)) {
        Enter(s, kKanji);
    } else if (i == 0x28 && (b == 0x42 || b == 0x4A || b == 0x48)) {
        Return(s);
    } else if (i == 0x28 && b == 0x49) {
        // JIS X 0201 katakana until the next designation, which goes to
        // ASCII (or kanji), never back to what came before.
        s.outer = kNone;
        Enter(s, kKanaSet);
    } else {
        sink.Put(ESC);
        sink.Put(i);
        ResetStep(s);
        PlainByte(s, sink, b);
    }
}


// The conversion itself, on an explicit state. Writes never overtake reads
// (each input byte adds at most one output byte, counted from the start),
// so output may equal input.
void RunConverter(JisState& state, const char* input, int inputLength, char* output, int& outLength)
{
    if (outLength < 0 || output == nullptr) {
        outLength = 0;
        return;
    }
    Sink sink{reinterpret_cast<unsigned char*>(output), 0, outLength};
    const unsigned char* in = reinterpret_cast<const unsigned char*>(input);
    const unsigned char* const end = in + (input && inputLength > 0 ? inputLength : 0);
    JisState s = state;
    const FastRuns& fastRuns = Runs();

    while (in < end) {
        if (s.mode == kAscii && s.escape == kEscNone) {
            // Plain text: copy up to the next ESC, SO or SI. In this state no
            // outer or return mode is remembered, so the reset step is a no-op.
            const unsigned char* p = FindShift(in, end);
            int n = static_cast<int>(p - in);
            int room = sink.cap - sink.pos;
            if (n > room)
                n = room;
            if (n > 0 && sink.out + sink.pos != in)
                std::memmove(sink.out + sink.pos, in, static_cast<size_t>(n));
            sink.pos += n > 0 ? n : 0;
            in = p;
            if (in == end)
                break;
            PlainByte(s, sink, *in++);
            continue;
        }
        if (s.mode == kKanji && s.escape == kEscNone && !s.pending) {
            // Whole pairs while both bytes belong to the mode and fit; both
            // are read before the pair is written.
            unsigned char* out = sink.out + sink.pos;
            const unsigned char* p = in;
            std::ptrdiff_t pairs = (end - p) / 2;
            if (pairs > (sink.cap - sink.pos) / 2)
                pairs = (sink.cap - sink.pos) / 2;
            const unsigned char* const stop = p + 2 * pairs;
            const FastRuns& runs = fastRuns;
            while (p < stop) {
                const unsigned char j1 = p[0];
                const unsigned char j2 = p[1];
                if (static_cast<unsigned>(j2 - runs.lo[j1]) >= runs.count[j1])
                    break;
                out[0] = kPair.s1[j1];
                out[1] = kPair.s2[j1 & 1][j2];
                out += 2;
                p += 2;
            }
            sink.pos = static_cast<int>(out - sink.out);
            in = p;
            if (in == end)
                break;
        }
        const unsigned char b = *in++;
        if (s.escape != kEscNone) {
            EscapeByte(s, sink, b);
        } else if (s.mode == kKanji) {
            if (IsKanjiByte(b)) {
                if (!s.pending) {
                    s.pending = true;
                    s.first = b;
                } else {
                    unsigned char pair[2];
                    PutPair(pair, s.first, b);
                    sink.Put(pair[0]);
                    sink.Put(pair[1]);
                    s.pending = false;
                }
            } else {
                s.pending = false;   // a lone first byte is dropped
                PlainByte(s, sink, b);
            }
        } else if (s.mode == kKana || s.mode == kKanaSet) {
            const unsigned char k = static_cast<unsigned char>(b | 0x80);
            if (k >= 0xA1 && k <= 0xDF)
                sink.Put(k);
            else
                PlainByte(s, sink, b);
        } else {
            PlainByte(s, sink, b);
        }
    }

    state = s;
    output[sink.pos] = '\0';
    outLength = sink.pos;
}

}  // namespace

void CJisConverter::Convert(const char* input, int inputLength, char* output, int& outLength)
{
    RunConverter(m_state, input, inputLength, output, outLength);
}

void ConvertStringJisToSjis(CString& text)
{
    std::string& s = text.Str();
    int length = static_cast<int>(s.size());
    // The NUL written after the result lands at most on the string's own
    // terminator.
    CJisConverter().Convert(s.data(), length, s.data(), length);
    s.resize(std::strlen(s.data()));   // up to the first NUL
}

int CJisToSjisStream::Convert(const char* piece, int n, char* out)
{
    if (m_bEnded || n <= 0 || piece == nullptr || out == nullptr)
        return 0;
    int length = n + kHeldBack;
    m_converter.Convert(piece, n, out, length);
    const void* nul = std::memchr(out, '\0', static_cast<size_t>(length));
    if (nul) {
        m_bEnded = true;
        return static_cast<int>(static_cast<const char*>(nul) - out);
    }
    return length;
}

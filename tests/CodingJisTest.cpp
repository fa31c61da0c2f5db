// ISO-2022-JP to Shift_JIS conversion, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "coding/Jis.h"
#include "framework/Sjis.h"

namespace {

std::string Convert(const std::string& in, int capacity = -1)
{
    if (capacity < 0)
        capacity = static_cast<int>(in.size());
    std::vector<char> out(static_cast<size_t>(capacity) + 1, '\x55');
    int length = capacity;
    CJisConverter().Convert(in.data(), static_cast<int>(in.size()), out.data(), length);
    EXPECT_LE(length, capacity);
    EXPECT_EQ(out[static_cast<size_t>(length)], '\0');
    return std::string(out.data(), static_cast<size_t>(length));
}

const std::string kIn = "\x1b$B";   // kanji in
const std::string kOut = "\x1b(B";  // kanji out

}  // namespace

TEST(CodingJisTest, WorkedExamples)
{
    struct Case {
        const char* what;
        std::string in;
        std::string out;
    } cases[] = {
        {"kanji then ASCII", kIn + "\x30\x21" + kOut + "A", "\x88\x9f" "A"},
        {"hiragana", kIn + "\x24\x22", "\x82\xa0"},
        {"second byte raised past 0x7F", kIn + "\x3f\x60", "\x90\x80"},
        {"CR ends kanji", kIn + "\x30\x21\r\n\x30\x21", std::string("\x88\x9f\r\n\x30\x21")},
        {"lone first byte dropped", kIn + "\x30 ", " "},
        {"SO/SI katakana", "\x0e\x31\x0f\x31", "\xb1\x31"},
        {"second kanji-in remembers KANJI", kIn + "\x30\x21" + kIn + "\x30\x21" + kOut + "\x41\x42",
         "\x88\x9f\x88\x9f\x91\x61"},
        {"unknown escape copied", "\x1b$A\x78", "\x1b$A\x78"},
        {"ESC and other byte copied", "\x1b\x78", "\x1b\x78"},
        {"old kanji-in ESC $ @", "\x1b$@\x30\x21\x1b(J" "a", "\x88\x9f" "a"},
        {"ESC K / ESC H", "\x1bK\x30\x21\x1bH" "a", "\x88\x9f" "a"},
        {"ESC ( H returns", kIn + "\x30\x21\x1b(Ha", "\x88\x9f" "a"},
        {"ESC ( and unknown final", "\x1b(Zq", "\x1b(Zq"},
        {"ESC ESC $ B", "\x1b\x1b$B\x30\x21", "\x1b\x88\x9f"},
        {"dangling ESC at the end", "ab\x1b", "ab"},
        {"dangling ESC $ at the end", "ab\x1b$", "ab"},
        {"NUL inside kanji ends it", kIn + std::string("\x30\x21\0\x30\x21", 5),
         std::string("\x88\x9f\0\x30\x21", 5)},
        {"katakana through 8-bit bytes", "\x0e\xb1\x5f\x60\x0f", "\xb1\xdf\x60"},
        {"SO inside kanji returns to kanji at SI", kIn + "\x0e\x31\x0f\x30\x21", "\xb1\x88\x9f"},
        {"8-bit pair with no Shift_JIS code: geta", kIn + "\xfc\xfc", "\x81\xac"},
        {"0xFD ends kanji and is written", kIn + "\x30\xfd\x30\x21", "\xfd\x30\x21"},
        {"a pair that would convert to a zero byte: geta", "x" + kIn + "\x9f\x21" + kOut + "y", "x\x81\xacy"},
        {"rows 9-12 and 85-88 unassigned: geta", kIn + "\x29\x21\x75\x21\x78\x7e", "\x81\xac\x81\xac\x81\xac"},
        {"rows 93-94 unassigned: geta", kIn + "\x7d\x21\x7e\x7e", "\x81\xac\x81\xac"},
        {"NEC row 13 and rows 89-92 kept", kIn + "\x2d\x21\x79\x21\x7c\x7e", "\x87\x40\xed\x40\xee\xfc"},
        {"unassigned pair cut by a piece boundary", kIn + "\x75\x21\x30\x21", "\x81\xac\x88\x9f"},
        {"ESC ( I katakana until ESC ( B", "\x1b(I\x31\x5f\x1b(BA", "\xb1\xdf" "A"},
        {"ESC ( I then ESC ( J", "\x1b(I\x21\x1b(J\x21", "\xa1!"},
        {"kanji, ESC ( I, ESC ( B goes to ASCII", kIn + "\x30\x21\x1b(I\x31\x1b(BA", "\x88\x9f\xb1" "A"},
        {"ESC ( I, kanji, ESC ( B goes to ASCII", "\x1b(I\x31" + kIn + "\x30\x21\x1b(BA", "\xb1\x88\x9f" "A"},
        {"ESC ( I, a byte not of the set ends it", "\x1b(I\x31\x60\x31", "\xb1\x60\x31"},
        {"ESC ( I, SO, SI goes to ASCII", "\x1b(I\x31\x0e\x32\x0f\x33", "\xb1\xb2\x33"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Convert(c.in), c.out) << c.what;
        // In place, and in pieces (split at every byte, and byte by byte):
        // the same text, up to its first NUL.
        const std::string text = c.out.substr(0, c.out.find('\0'));
        CString s(c.in.data(), static_cast<int>(c.in.size()));
        ConvertStringJisToSjis(s);
        EXPECT_EQ(s.Str(), text) << c.what;
        for (size_t cut = 0; cut <= c.in.size(); ++cut) {
            std::vector<size_t> pieces = {cut, c.in.size() - cut};
            if (cut == c.in.size())
                pieces.assign(c.in.size(), 1);
            CJisToSjisStream stream;
            std::string joined;
            size_t at = 0;
            for (size_t n : pieces) {
                std::vector<char> out(n + CJisToSjisStream::kHeldBack + 1, '\x55');
                const int keep = stream.Convert(c.in.data() + at, static_cast<int>(n), out.data());
                joined.append(out.data(), static_cast<size_t>(keep));
                at += n;
            }
            EXPECT_EQ(joined, text) << c.what << ", cut at " << cut;
        }
    }
}

TEST(CodingJisTest, EveryKanjiPairIsItsShiftJisCodeOrTheGetaMark)
{
    // All pairs of one text, so that both the whole-pair path and the
    // byte-by-byte path (after an odd byte) see every pair.
    for (int shift = 0; shift < 2; ++shift) {
        std::string in = kIn + (shift ? "\x21" : "");
        for (int j1 = 0x21; j1 <= 0xFC; ++j1) {
            for (int j2 = 0x21; j2 <= 0xFC; ++j2) {
                in += static_cast<char>(j1);
                in += static_cast<char>(j2);
            }
        }
        const std::string out = Convert(in);
        std::vector<unsigned char> bytes(in.begin() + static_cast<std::ptrdiff_t>(kIn.size()), in.end());
        ASSERT_EQ(out.size(), bytes.size() / 2 * 2) << shift;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const unsigned char j1 = bytes[i], j2 = bytes[i + 1];
            unsigned s1 = (((j1 - 0x21u) & 0xFFu) >> 1) + 0x81u;
            s1 = (s1 > 0x9F ? s1 + 0x40 : s1) & 0xFF;
            unsigned s2 = (j2 + ((j1 & 1) ? 0x1Fu : 0x7Du)) & 0xFF;
            s2 = (s2 >= 0x7F ? s2 + 1 : s2) & 0xFF;
            const bool assigned = IsCp932Assigned(static_cast<BYTE>(s1), static_cast<BYTE>(s2));
            ASSERT_EQ(static_cast<unsigned char>(out[i]), assigned ? s1 : 0x81u) << shift << " " << i;
            ASSERT_EQ(static_cast<unsigned char>(out[i + 1]), assigned ? s2 : 0xACu) << shift << " " << i;
        }
    }
}

TEST(CodingJisTest, ShiftJisAndAsciiPassThrough)
{
    const std::string sjis = "件名: 日本語のテキスト ｶﾀｶﾅ 表ソ能 \\|\r\n\t~\x7f\xff";
    EXPECT_EQ(Convert(sjis), sjis);
    EXPECT_EQ(Convert(""), "");
}

TEST(CodingJisTest, CapacityTruncatesAndNeverOverruns)
{
    const std::string in = kIn + "\x30\x21\x30\x21" + kOut + "xyz";   // 4 bytes kanji + 3
    EXPECT_EQ(Convert(in), "\x88\x9f\x88\x9f" "xyz");
    for (int cap = 0; cap <= 7; ++cap) {
        std::string want = std::string("\x88\x9f\x88\x9f" "xyz").substr(0, static_cast<size_t>(cap));
        EXPECT_EQ(Convert(in, cap), want) << cap;   // the pair may be cut in half
    }
    int length = -1;
    char guard = 'g';
    CJisConverter().Convert("abc", 3, &guard, length);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(guard, 'g');
}

TEST(CodingJisTest, EveryConversionStartsFresh)
{
    // A conversion left in KANJI with a pending byte must not leak into the next.
    EXPECT_EQ(Convert(kIn + "\x30"), "");
    EXPECT_EQ(Convert("\x30\x21"), "\x30\x21");
    CString s(kIn + "\x30\x21" + kOut);
    ConvertStringJisToSjis(s);
    EXPECT_EQ(s, "\x88\x9f");
    CString withNul(std::string("a\0b", 3));
    ConvertStringJisToSjis(withNul);
    EXPECT_EQ(withNul, "a");   // up to the first NUL
}

TEST(CodingJisTest, StateCarriesAcrossCallsOfOneConverter)
{
    // Split input fed to one converter in two calls gives the same bytes as
    // one call.
    const std::string in = kIn + "\x30\x21\x30" "\x21" + kOut + "A";
    for (size_t cut = 0; cut <= in.size(); ++cut) {
        char out[32];
        CJisConverter converter;
        int a = 16;
        converter.Convert(in.data(), static_cast<int>(cut), out, a);
        int b = 16;
        converter.Convert(in.data() + cut, static_cast<int>(in.size() - cut), out + a, b);
        EXPECT_EQ(std::string(out, static_cast<size_t>(a + b)), "\x88\x9f\x88\x9f" "A") << cut;
    }
}

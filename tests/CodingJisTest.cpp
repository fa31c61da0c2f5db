// ISO-2022-JP to Shift_JIS conversion, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "coding/Jis.h"

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
        {"high JIS row wraps modulo 256", kIn + "\xfc\xfc", "\x2e\x79"},
        {"0xFD ends kanji and is written", kIn + "\x30\xfd\x30\x21", "\xfd\x30\x21"},
        {"a pair that converts to a zero byte", "x" + kIn + "\x9f\x21" + kOut + "y", std::string("x\0\x40y", 4)},
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

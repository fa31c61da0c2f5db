// Base64 decoding and header values with encoded words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "coding/Base64.h"
#include "framework/Ui.h"

namespace {

struct Decoded {
    int result;
    std::string bytes;
};

Decoded Decode(const std::string& text)
{
    CBase64 b;
    const int size = b.GetDecodeBufferSize(static_cast<int>(text.size()));
    EXPECT_EQ(size, static_cast<int>((text.size() + 3) / 4 * 3));
    std::vector<BYTE> out(static_cast<size_t>(size) + 1);
    int length = -7;
    const int r = b.Decode(static_cast<int>(text.size()), length, text.data(), out.data());
    if (r != 0)
        return {r, ""};
    EXPECT_LE(length, size);
    return {r, std::string(reinterpret_cast<char*>(out.data()), static_cast<size_t>(length))};
}

std::string Header(const std::string& value)
{
    CString result = "stale";
    DecodeHeaderValue(CString(value), result);
    return result.Str();
}

// "=?iso-2022-jp?b?" word holding kanji-in, the JIS pair 0x30 0x21, kanji-out.
const std::string kWordA = "=?ISO-2022-JP?B?GyRCMCEbKEI=?=";   // -> 0x88 0x9F
const std::string kWordB = "=?iso-2022-jp?b?GyRCJCIbKEI=?=";   // -> 0x82 0xA0

}  // namespace

TEST(CodingBase64Test, DecodeTable)
{
    struct Case {
        std::string in;
        int result;
        std::string out;
    } cases[] = {
        {"QUJD", 0, "ABC"},
        {"QUI=", 0, "AB"},
        {"QQ==", 0, "A"},
        {"QQ=A", 0, "A"},          // fourth byte not looked at
        {"QQ=*", 0, "A"},
        {"", 0, ""},
        {"QUJDREVG", 0, "ABCDEF"},
        {"+/+/", 0, "\xfb\xff\xbf"},
        {"QUJ", 1, ""},            // length not a multiple of 4
        {"QUJDR", 1, ""},
        {"QU D", 1, ""},           // blank
        {"QUJDRE\r\n", 1, ""},     // line end
        {"QQ==QUJD", 1, ""},       // "=" in a group that is not the last
        {"=QUJ", 1, ""},
        {"Q=QQ", 1, ""},           // "=" as the second byte
        {"QU\x80=", 1, ""},
        {std::string("QU\0D", 4), 1, ""},
    };
    for (const Case& c : cases) {
        Decoded d = Decode(c.in);
        EXPECT_EQ(d.result, c.result) << c.in;
        EXPECT_EQ(d.bytes, c.out) << c.in;
    }
}

TEST(CodingBase64Test, DecodeNeedsItsOwnBufferSizeCall)
{
    std::vector<CString> shown;
    SetMessageBoxHandler([&](const CString& text, UINT) { shown.push_back(text); return kIdOk; });
    CBase64 b;
    BYTE out[8];
    int length = 0;
    EXPECT_EQ(b.Decode(4, length, "QUJD", out), 2);
    b.GetDecodeBufferSize(4);
    EXPECT_EQ(b.Decode(4, length, "QUJD", out), 0);
    EXPECT_EQ(b.Decode(4, length, "QUJD", out), 2);   // the ready mark was consumed
    b.GetDecodeBufferSize(3);
    EXPECT_EQ(b.Decode(3, length, "QUJ", out), 1);     // a failure consumes it too
    EXPECT_EQ(b.Decode(4, length, "QUJD", out), 2);
    SetMessageBoxHandler(nullptr);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], "CBase64::Decode() -> notYetAllocBuffer");
}

TEST(CodingBase64Test, HeaderValues)
{
    struct Case {
        const char* what;
        std::string in;
        std::string out;
    } cases[] = {
        {"empty", "", ""},
        {"plain ASCII", "Hello world", "Hello world"},
        {"one word", kWordA, "\x88\x9f"},
        {"text around a word", "Re: " + kWordA + " (x)", "Re: \x88\x9f (x)"},
        // White space alone between two words goes (RFC 2047); other text stays.
        {"blank between words", kWordA + " " + kWordB, "\x88\x9f\x82\xa0"},
        {"joined words", kWordA + kWordB, "\x88\x9f\x82\xa0"},
        {"folded words", kWordA + "\r\n\t " + kWordB, "\x88\x9f\x82\xa0"},
        {"text between words kept", kWordA + " - " + kWordB + " x", "\x88\x9f - \x82\xa0 x"},
        {"empty word adds nothing", "a=?iso-2022-jp?b?" "?=b", "ab"},
        {"invalid Base64 stays as text", "x =?iso-2022-jp?b?QUJ?= " + kWordB, "x QUJ \x82\xa0"},
        {"word decoding to a NUL first", "a=?iso-2022-jp?b?AEE=?=b", "ab"},
        {"other charset unchanged", "=?utf-8?B?5pel?= " + kWordA, "=?utf-8?B?5pel?= " + kWordA},
        {"Q encoding unchanged", kWordA + " =?iso-2022-jp?q?abc?=", kWordA + " =?iso-2022-jp?q?abc?="},
        {"language suffix unchanged", "=?iso-2022-jp*ja?b?QUJD?=", "=?iso-2022-jp*ja?b?QUJD?="},
        {"ends in =?", "abc =?", "abc =?"},
        {"short after =?", "a=?iso-2022-jp?b", "a=?iso-2022-jp?b"},
        {"no closing ?=", kWordA + " =?iso-2022-jp?b?QUJD", kWordA + " =?iso-2022-jp?b?QUJD"},
        {"raw JIS converted whole", "\x1b$B\x30\x21\x1b(B abc", "\x88\x9f abc"},
        {"raw JIS after a word left as is", kWordA + "\x1b$B\x30\x21", "\x88\x9f\x1b$B\x30\x21"},
        {"Shift_JIS passes", "表ソ能", "表ソ能"},
        {"whole-value conversion stops at NUL", std::string("ab\0cd", 5), "ab"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Header(c.in), c.out) << c.what;
}

TEST(CodingBase64Test, ResultMayBeTheValueItself)
{
    CString s(kWordA + "!");
    DecodeHeaderValue(s, s);
    EXPECT_EQ(s, "\x88\x9f!");
    EXPECT_EQ(DecodeEncodedText("GyRCMCEbKEI="), "\x88\x9f");
    EXPECT_EQ(DecodeEncodedText("QU JD"), "QU JD");
}

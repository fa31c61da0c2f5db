// Base64 decoding and header values with encoded words.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "coding/Base64.h"
#include "coding/Charset.h"
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
    const std::string kNyaan = "\x83j\x83\x83\x81[\x83\x93";   // "ニャーン"
    const std::string kNihongoUtf8 = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e";
    const std::string kNihongo = "\x93\xfa\x96{\x8c\xea";        // "日本語"
    const std::string kUnknown = "=?x-unknown?B?gqA=?=";   // 8-bit text
    struct Case {
        const char* what;
        std::string in;
        std::string out;
        const char* needs = nullptr;   // a charset the row needs a converter for
    } cases[] = {
        {"empty", "", ""},
        {"plain ASCII", "Hello world", "Hello world"},
        {"one word", kWordA, "\x88\x9f"},
        {"text around a word", "Re: " + kWordA + " (x)", "Re: \x88\x9f (x)"},
        {"empty word adds nothing", "a=?iso-2022-jp?b?" "?=b", "ab"},
        {"word decoding to a NUL first", "a=?iso-2022-jp?b?AEE=?=b", "ab"},
        {"word ending in kanji mode", "=?iso-2022-jp?b?GyRCMCE=?=x", "\x88\x9fx"},

        // Base64 as mail readers decode it: padding missing, doubled or
        // tripled, stray bytes skipped, the data ending at the padding; a
        // last group of one character is no Base64.
        {"padding doubled", "=?ISO-2022-JP?B?GyRCJUslYyE8JXMbKEI==?=", kNyaan},
        {"padding missing", "=?ISO-2022-JP?B?GyRCJUslYyE8JXMbKEI?=", kNyaan},
        {"padding tripled", "=?ISO-2022-JP?B?GyRCJUslYyE8JXMbKEI===?=", kNyaan},
        {"escape only, padded", "a =?ISO-2022-JP?B?GyhC==?= b", "a  b"},
        {"two bytes unpadded", "=?us-ascii?b?QUI?=", "AB"},
        {"one byte unpadded", "=?us-ascii?b?QQ?=", "A"},
        {"last group taken by the decoder", "=?us-ascii?b?QQ=A?=", "A"},
        {"one character too many", "=?us-ascii?b?QUJDR?= " + kWordB, "=?us-ascii?b?QUJDR?= \x82\xa0"},
        {"byte outside the alphabet skipped", "x =?iso-2022-jp?b?QU*D?= " + kWordB, "x A@\x82\xa0"},
        {"padding inside: the data ends there", "=?us-ascii?b?QQ==QUJD?=", "A"},

        // Q encoding.
        {"Q text", "=?us-ascii?q?a_b=41=3f=3D?=", "a bA?="},
        {"Q lower-case hex and ISO-2022-JP", "=?ISO-2022-JP?Q?=1b$B0!=1b(B?=", "\x88\x9f"},
        {"Q with = not before two hex digits: kept", "=?us-ascii?Q?a=4g?= " + kWordA, "a=4g\x88\x9f"},
        {"Q ending in =", "=?us-ascii?Q?ab=4?=", "ab=4"},
        {"empty Q word", "a =?us-ascii?Q?" "?= " + kWordA, "a \x88\x9f"},

        // Charsets: each word from its own.
        {"Shift_JIS word", "=?shift_jis?B?lVyOpg==?=", "\x95\\\x8e\xa6"},
        {"mixed charsets", kWordA + " =?Windows-31J?Q?=95\\=8E=A6?= =?us-ascii?Q?x?=", "\x88\x9f\x95\\\x8e\xa6x"},
        {"language suffix ignored", "=?iso-2022-jp*ja?b?QUJD?=", "ABC"},
        {"language alone is no charset", "=?*ja?b?QUJD?=", "=?*ja?b?QUJD?="},
        {"unknown charset kept", kUnknown + " " + kWordA, kUnknown + " \x88\x9f"},
        {"unknown charset, ASCII text: read", "=?NONE?B?VEVTVA=?= " + kWordA, "TEST\x88\x9f"},
        {"Q text holding 8-bit bytes", "=?Shift_JIS?Q?\x82\xa0_=82=a0?=", "\x82\xa0 \x82\xa0"},
        {"unknown charset between words", kWordA + " " + kUnknown + " " + kWordB,
         "\x88\x9f " + kUnknown + " \x82\xa0"},
        {"UTF-8 word", "Re: =?utf-8?B?5pel5pys6Kqe?=", "Re: " + kNihongo, "utf-8"},
        {"UTF-8 and ISO-2022-JP words", "=?UTF-8?Q?=E6=97=A5?= " + kWordA, "\x93\xfa\x88\x9f", "utf-8"},

        // White space between words.
        {"blank between words", kWordA + " " + kWordB, "\x88\x9f\x82\xa0"},
        {"joined words", kWordA + kWordB, "\x88\x9f\x82\xa0"},
        {"folded words", kWordA + "\r\n\t " + kWordB, "\x88\x9f\x82\xa0"},
        {"text between words kept", kWordA + " - " + kWordB + " x", "\x88\x9f - \x82\xa0 x"},
        {"blank before a bad word kept", kWordA + " =?us-ascii?b?Q?=", "\x88\x9f =?us-ascii?b?Q?="},
        {"blanks around kept words", kUnknown + "  " + kUnknown, kUnknown + "  " + kUnknown},

        // A "=?" that opens no well-formed word is plain text.
        {"ends in =?", "abc =?", "abc =?"},
        {"=? then a word", "=? " + kWordA, "=? \x88\x9f"},
        {"short after =?", "a=?iso-2022-jp?b", "a=?iso-2022-jp?b"},
        {"no closing ?=", kWordA + " =?iso-2022-jp?b?QUJD", "\x88\x9f =?iso-2022-jp?b?QUJD"},
        {"encoding neither B nor Q", "=?iso-2022-jp?x?QUJD?= " + kWordA, "=?iso-2022-jp?x?QUJD?= \x88\x9f"},
        {"blank in the text", "=?us-ascii?q?a b?=", "=?us-ascii?q?a b?="},
        {"? in the text", "=?us-ascii?q?a?b?=", "=?us-ascii?q?a?b?="},
        {"blank in the charset", "=?iso 2022?b?QUJD?=", "=?iso 2022?b?QUJD?="},
        {"empty charset", "=??b?QUJD?=", "=??b?QUJD?="},
        {"word inside a broken one", "=?a=?us-ascii?q?x?=", "=?ax"},

        // Text outside the words.
        {"raw JIS converted whole", "\x1b$B\x30\x21\x1b(B abc", "\x88\x9f abc"},
        {"raw JIS after a word converted", kWordA + " \x1b$B\x30\x21", "\x88\x9f \x88\x9f"},
        {"Shift_JIS passes", "表ソ能", "表ソ能"},
        {"Shift_JIS around a word", "表 " + kWordA + " 能", "表 \x88\x9f 能"},
        {"whole-value conversion stops at NUL", std::string("ab\0cd", 5), "ab"},
        {"raw UTF-8", "Re: " + kNihongoUtf8, "Re: " + kNihongo, "utf-8"},
        {"raw UTF-8 around a word", kNihongoUtf8 + " " + kWordA + " " + kNihongoUtf8,
         kNihongo + " \x88\x9f " + kNihongo, "utf-8"},
        {"half a UTF-8 character is Shift_JIS", "\xe6\x97 " + kWordA, "\xe6\x97 \x88\x9f"},
    };
    for (const Case& c : cases) {
        if (c.needs && CharsetRouteFor(c.needs, std::strlen(c.needs)) == CharsetRoute::kUnknown)
            continue;   // no converter for that charset in this build yet
        EXPECT_EQ(Header(c.in), c.out) << c.what;
    }
}

TEST(CodingBase64Test, ResultMayBeTheValueItself)
{
    CString s(kWordA + "!");
    DecodeHeaderValue(s, s);
    EXPECT_EQ(s, "\x88\x9f!");
    EXPECT_EQ(DecodeEncodedText("GyRCMCEbKEI="), "\x88\x9f");
    EXPECT_EQ(DecodeEncodedText("QU JD"), "ABC");   // a blank skipped
    EXPECT_EQ(DecodeEncodedText("QUJDR"), "QUJDR");
    EXPECT_EQ(DecodeEncodedText("GyRCMCEbKEI"), "\x88\x9f");   // padding missing
    EXPECT_EQ(DecodeEncodedText("QUJDR"), "QUJDR");
}

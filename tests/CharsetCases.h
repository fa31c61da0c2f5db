// Charset conversion cases shared by the host tests and the Windows-side
// tests: both builds must give these bytes. Expected bytes come from Python's
// codecs (errors="replace", the reader the round trip compares with) turned
// into Shift_JIS as Windows' code page 932 maps Unicode without best fit;
// where Python and Windows read a charset differently, Windows' reading is
// taken. Rows marked "here:" are this program's own rule where Python differs
// (said in each).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "coding/Charset.h"
#include "framework/Platform.h"
#include "framework/Sjis.h"

struct CharsetCase {
    const char* what;
    const char* charset;
    std::string_view in;
    std::string_view out;   // Shift_JIS
    bool known = true;      // AppendAsSjis's answer
};

using namespace std::string_view_literals;

inline const CharsetCase kCharsetCases[] = {
    // Routes, names and aliases.
    {"no charset: ISO-2022-JP", "", "\x1b$B\x30\x21\x1b(B", "\x88\x9f"},
    {"blank label: no charset", " \"\" ", "\x1b$B\x24\x22", "\x82\xa0"},
    {"US-ASCII goes to the JIS converter", "US-ASCII", "a\x1b$B\x24\x22\x1b(Bb", "a\x82\xa0" "b"},
    {"ISO-2022-JP half-width katakana by ESC ( I", "ISO-2022-JP", "\x1b(I\x31\x1b(B" "A", "\xb1" "A"},
    {"ISO-2022-JP pair code page 932 lacks (row 85)", "iso-2022-jp", "\x1b$B\x75\x21\x1b(B", "\x81\xac"},
    {"ISO-2022-JP-2 by the JIS converter", "ISO-2022-JP-2", "\x1b$B\x30\x21", "\x88\x9f"},
    {"csISO2022JP", "csISO2022JP", "\x1b$B\x30\x21", "\x88\x9f"},
    {"JIS route ends at a NUL", "iso-2022-jp", "a\0b"sv, "a"},
    {"Shift_JIS as is, unassigned codes too", "Shift_JIS", "\x85\x40\x82\xa0", "\x85\x40\x82\xa0"},
    {"as is keeps a NUL", "shift_jis", "a\0b"sv, "a\0b"sv},
    {"x-sjis", "x-sjis", "\x82\xa0", "\x82\xa0"},
    {"sjis", "SJIS", "\x82\xa0", "\x82\xa0"},
    {"shift-jis", "shift-jis", "\x82\xa0", "\x82\xa0"},
    {"CP932", "CP932", "\x87\x40", "\x87\x40"},
    {"MS932", "ms932", "\xed\x40", "\xed\x40"},
    {"Windows-31J", "Windows-31J", "\xfa\x40", "\xfa\x40"},
    {"ms_kanji", "MS_Kanji", "\x82\xa0", "\x82\xa0"},
    {"unknown charset: as is", "x-unknown", "\x82\xa0\xff", "\x82\xa0\xff", false},
    {"ISO-8859-10 (no Windows code page): unknown", "iso-8859-10", "\xe9", "\xe9", false},
    {"UTF-16: unknown", "utf-16", "a\0"sv, "a\0"sv, false},
    {"punctuation only: unknown", "--", "a", "a", false},
    {"a name too long: unknown", "utf-8-and-then-a-very-long-tail-that-no-charset-name-ever-has-here",
     "a", "a", false},
    // UTF-8.
    {"UTF-8 kanji", "UTF-8", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e", "\x93\xfa\x96{\x8c\xea"},
    {"utf8 alias, case, blanks", " Utf8 ", "\xe3\x81\x8b\xe3\x81\xaa", "\x82\xa9\x82\xc8"},
    {"quoted label", "\x22utf-8\x22", "A\xe3\x81\x82", "A\x82\xa0"},
    {"U+301C WAVE DASH", "utf-8", "\xe3\x80\x9c\xef\xbd\x9e", "\x81`\x81`"},
    {"U+2016, U+2225", "utf-8", "\xe2\x80\x96\xe2\x88\xa5", "\x81" "a\x81" "a"},
    {"U+2212, U+FF0D", "utf-8", "\xe2\x88\x92\xef\xbc\x8d", "\x81|\x81|"},
    {"U+00A2 U+00A3 U+00AC and full-width forms", "utf-8", "\xc2\xa2\xc2\xa3\xc2\xac\xef\xbf\xa0\xef\xbf\xa1\xef\xbf\xa2", "\x81\x91\x81\x92\x81\xca\x81\x91\x81\x92\x81\xca"},
    {"U+2014, U+2015", "utf-8", "\xe2\x80\x94\xe2\x80\x95", "\x81\x5c\x81\x5c"},
    {"NEC row 13 and IBM extension duplicates as Windows codes them", "utf-8", "\xe2\x91\xa0\xe2\x85\xa0\xe2\x85\xb0\xe2\x88\xb5\xe2\x89\x92\xef\xbf\xa4\xe3\x88\xb1\xe2\x84\x96\xe2\x84\xa1\xe7\xba\x8a\xe9\xab\x99\xe2\x88\xa9", "\x87@\x87T\xfa@\x81\xe6\x81\xe0\xfaU\x87\x8a\x87\x82\x87\x84\xfa\x5c\xfb\xfc\x81\xbf"},
    {"half-width katakana", "utf-8", "\xef\xbd\xb1\xef\xbe\x9f", "\xb1\xdf"},
    {"characters code page 932 lacks", "utf-8", "\xc3\xa9\xc2\xa5\xe2\x80\xbe\xc2\xa0\xea\xb0\x80\xef\xbf\xbd\xef\xbb\xbf", "\x81\xac\x81\xac\x81\xac\x81\xac\x81\xac\x81\xac\x81\xac"},
    {"beyond U+FFFF: one geta mark", "utf-8", "a\xf0\x9f\x98\x80" "b", "a\x81\xac" "b"},
    {"U+0080 and U+F8F0-U+F8F3: Windows' single bytes", "utf-8", "\xc2\x80\xef\xa3\xb0\xef\xa3\xb1\xef\xa3\xb2\xef\xa3\xb3", "\x80\xa0\xfd\xfe\xff"},
    {"private use: code page 932's user-defined area", "utf-8", "\xee\x80\x80\xee\x9d\x97", "\xf0@\xf9\xfc"},
    {"invalid byte", "utf-8", "a\xff" "b", "a\x81\xac" "b"},
    {"truncated sequence: one geta mark", "utf-8", "\xe6\x97" "A", "\x81\xac" "A"},
    {"overlong: each byte", "utf-8", "\xc0\xaf", "\x81\xac\x81\xac"},
    {"encoded surrogate: each byte", "utf-8", "\xed\xa0\x80", "\x81\xac\x81\xac\x81\xac"},
    {"beyond U+10FFFF: each byte", "utf-8", "\xf4\x90\x80\x80", "\x81\xac\x81\xac\x81\xac\x81\xac"},
    {"truncated then whole", "utf-8", "\xe6\x97\xe6\x97\xa5", "\x81\xac\x93\xfa"},
    {"truncated at the end", "utf-8", "ab\xe6", "ab\x81\xac"},
    // UTF-7.
    {"UTF-7 kanji", "UTF-7", "+ZeVnLIqe-", "\x93\xfa\x96{\x8c\xea"},
    {"UTF-7 mixed, a character 932 lacks", "utf-7", "Hi Mom -+Jjo--!", "Hi Mom -\x81\xac-!"},
    {"UTF-7 shift ended by the end", "utf7", "+AGEAYgBj", "abc"},
    {"UTF-7 plus sign", "utf-7", "1 +- 1", "1 + 1"},
    {"UTF-7 non-zero padding", "utf-7", "a+AGF-b", "aa\x81\xac" "b"},
    {"UTF-7 partial character", "utf-7", "a+AGEA-b", "aa\x81\xac" "b"},
    {"UTF-7 surrogate pair: one geta mark", "utf-7", "+2D3eAA-", "\x81\xac"},
    {"UTF-7 8-bit byte", "utf-7", "\xe9" "a", "\x81\xac" "a"},
    {"here: \"+\" before a character that starts no sequence keeps that character", "utf-7", "+ x", "\x81\xac x"},
    {"here: the byte that ends a broken sequence is kept", "utf-7", "+AG\x80", "\x81\xac\x81\xac"},
    // EUC-JP.
    {"EUC-JP kanji and kana", "EUC-JP", "\xc6\xfc\xcb\xdc\xb8\xec\xa4\xab\xa4\xca", "\x93\xfa\x96{\x8c\xea\x82\xa9\x82\xc8"},
    {"x-euc-jp half-width katakana", "x-euc-jp", "\x8e\xb1\x8e\xdf", "\xb1\xdf"},
    {"eucJP wave dash", "eucJP", "\xa1\xc1", "\x81`"},
    {"EUC-JP JIS X 0212 as code page 932 holds it", "euc-jp", "\x8f\xb0\xa9\x8f\xa2\xb7\x8f\xa2\xf1", "\xfah~\x87\x82"},
    {"EUC-JP JIS X 0212 kanji code page 932 lacks", "euc-jp", "\x8f\xb0\xa1", "\x81\xac"},
    {"EUC-JP byte that starts nothing", "euc-jp", "a\xff" "b", "a\x81\xac" "b"},
    {"EUC-JP lead without a trail", "euc-jp", "\xa1 \x8e ", "\x81\xac \x81\xac "},
    {"EUC-JP lead at the end", "euc-jp", "a\xa4", "a\x81\xac"},
    {"EUC-JP SS3 cut short", "euc-jp", "\x8f\xa1" "A", "\x81\xac\x81\xac" "A"},
    {"here: NEC row 13 (Microsoft's EUC-JP has it), duplicates as Windows codes them", "euc-jp",
     "\xad\xa1\xad\xb5\xad\xf0", "\x87\x40\x87\x54\x81\xe0"},
    {"here: rows 89-92 (NEC-selected IBM extensions) as Windows codes them", "euc-jp",
     "\xf9\xa1\xfc\xf1\xfc\xfb\xfc\xfe", "\xfa\x5c\xfa\x40\x81\xca\xfa\x57"},
    {"here: a whole pair code page 932 lacks is one geta mark (rows 9, 85)", "euc-jp", "\xa9\xa1\xf5\xa1",
     "\x81\xac\x81\xac"},
    // Single-byte charsets.
    {"ISO-8859-1", "ISO-8859-1", "caf\xe9 \xa3\xa2\xac\xa5", "caf\x81\xac \x81\x92\x81\x91\x81\xca\x81\xac"},
    {"ISO-8859-1 symbols code page 932 has", "latin1", "\xd7\xf7\xb0\xb1\xb4\xa7\xa8\xb6", "\x81~\x81\x80\x81\x8b\x81}\x81L\x81\x98\x81N\x81\xf7"},
    {"ISO-8859-1 C1 control U+0080", "l1", "\x80\x81", "\x80\x81\xac"},
    {"ISO_8859-1:1987", "ISO_8859-1:1987", "\xb0", "\x81\x8b"},
    {"ISO-8859-2", "iso-8859-2", "\xb1\xd7", "\x81\xac\x81~"},
    {"ISO-8859-5 Cyrillic", "ISO-8859-5", "\xb0\xb1\xd0\xa1", "\x84@\x84" "A\x84p\x84" "F"},
    {"ISO-8859-6 Arabic", "ISO-8859-6", "\xc7\xa1", "\x81\xac\x81\xac"},
    {"ISO-8859-7 Greek, quotation marks", "ISO-8859-7", "\xc1\xe1\xa1\xa2", "\x83\x9f\x83\xbf\x81" "e\x81" "f"},
    {"ISO-8859-8 Hebrew", "ISO-8859-8", "\xe0\xaa", "\x81\xac\x81~"},
    {"ISO-8859-9", "latin5", "\xf0\xd7", "\x81\xac\x81~"},
    {"ISO-8859-13", "ISO-8859-13", "\xd7\xa1", "\x81~\x81h"},
    {"ISO-8859-15 euro", "ISO-8859-15", "\xa4\xd7", "\x81\xac\x81~"},
    {"ISO-8859-3", "iso-8859-3", "\xb0\xa1", "\x81\x8b\x81\xac"},
    {"ISO-8859-4", "iso-8859-4", "\xb0\xa1", "\x81\x8b\x81\xac"},
    {"windows-1250", "windows-1250", "\x84\x93\xd7", "\x81\xac\x81g\x81~"},
    {"windows-1251", "windows-1251", "\xc0\xe0\x85", "\x84@\x84p\x81" "c"},
    {"windows-1252", "windows-1252", "\x93q\x94 \x85\x80", "\x81gq\x81h \x81" "c\x81\xac"},
    {"windows-1252 byte it leaves undefined", "cp1252", "\x81", "\x81\xac"},
    {"windows-1253", "windows-1253", "\xc1\xe1", "\x83\x9f\x83\xbf"},
    {"windows-1254", "windows-1254", "\x91\x92", "\x81" "e\x81" "f"},
    {"windows-1255: a letter and its point stay two", "windows-1255", "\xe0\xc8x", "\x81\xac\x81\xacx"},
    {"windows-1256", "windows-1256", "\xc7\x85", "\x81\xac\x81" "c"},
    {"windows-1257", "windows-1257", "\xd7\x84", "\x81~\x81\xac"},
    {"windows-1258: a letter and its mark stay two", "windows-1258", "a\xec", "a\x81\xac"},
    {"KOI8-R", "KOI8-R", "\xe1\xc1", "\x84@\x84p"},
    {"KOI8-U", "koi8-u", "\xe1\xa4", "\x84@\x81\xac"},
    {"windows-874", "windows-874", "\xa1\x85\x91", "\x81\xac\x81" "c\x81" "e"},
    // Korean and Chinese.
    {"EUC-KR kana, hanja, hangul", "EUC-KR", "\xaa\xa2\xca\xa1\xb0\xa1", "\x82\xa0\x89\xbe\x81\xac"},
    {"ks_c_5601-1987", "ks_c_5601-1987", "\xa1\xa1" "A", "\x81@A"},
    {"CP949 extension: one geta mark", "cp949", "\x81" "A", "\x81\xac"},
    {"EUC-KR lead without a trail", "euc-kr", "\xb0 A", "\x81\xac A"},
    {"EUC-KR bytes that start nothing", "euc-kr", "\x80\xff" "A", "\x81\xac\x81\xac" "A"},
    {"Big5", "Big5", "\xa4\xa4\xa4\xe5\xa1@", "\x92\x86\x95\xb6\x81@"},
    {"Big5 euro and a block (code page 950)", "big5", "\xa3\xe1\xf9\xfe", "\x81\xac\x81\xac"},
    {"Big5 lead without a trail", "big5", "\xa1 A", "\x81\xac A"},
    {"GB2312", "GB2312", "\xd6\xd0\xce\xc4\xa4\xa2", "\x92\x86\x95\xb6\x82\xa0"},
    {"GB2312 em dash as code page 936 has it", "gb2312", "\xa1\xaa", "\x81\x5c"},
    {"GBK", "GBK", "\x81@\xd6\xd0", "\x81\xac\x92\x86"},
    {"GB18030 two bytes", "GB18030", "\xd6\xd0", "\x92\x86"},
    {"GB18030 four bytes", "gb18030", "\x84" "1\x97" "3x", "\xb1x"},
    {"GB18030 four bytes beyond U+FFFF", "gb18030", "\x94" "9\xfc" "6", "\x81\xac"},
    {"GB18030 broken four bytes", "gb18030", "\x81" "0\x81" "A", "\x81\xac" "0\x81\xac"},
    {"a refused pair's ASCII trail byte is read again", "euc-kr", "\xec\x6a", "\x81\xac" "j"},
    {"Big5 user-defined pair: its ASCII trail byte is read again", "big5", "\x90\x44\xa1\x40", "\x81\xac" "D\x81\x40"},
    {"GBK user-defined pair: its ASCII trail byte is read again", "gbk", "\xa1\x40", "\x81\xac@"},
    {"here: a CP949 pair it leaves user-defined: its first byte, the next read again", "euc-kr", "\xc9\xa1" "A", "\x81\xac\x81\xac"},   // 0xA1 0x41 is a CP949 hangul
    {"here: a code page 950 user-defined pair (Python: ETEN kana)", "big5", "\xc6\xa1", "\x81\xac\x81\xac"},
    {"a byte that is no Big5 lead before a pair: the pair is read", "big5", "\xc3\x85\xc3\xa9", "\x81\xac\x81\xac\xe1\xdc"},
    {"here: a pair code page 936 leaves user-defined: its first byte, the next read again", "gbk", "\xa2\xa0" "A", "\x81\xac\xe0\x93"},   // 0xA0 0x41 is a kanji
    {"here: GB18030's user-defined area is not code page 932's", "gb18030", "\xaa\xa1", "\x81\xac\x81\xac"},
};

// Bytes as hex, for failure messages.
inline std::string CharsetHex(std::string_view bytes)
{
    std::string s;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        s += buf;
    }
    return s;
}

// Every case through AppendAsSjis, behind bytes already in the string, alone
// and (converting charsets) repeated past the converters' piece sizes, one
// line end between: a line for each case that came out otherwise, empty
// when none did. A case whose charset this system cannot convert
// (unconvertible(c) true) must come out as an unknown charset's does.
inline std::string CharsetCaseFailures(bool (*unconvertible)(const CharsetCase&) = nullptr)
{
    std::string failures;
    for (const CharsetCase& c : kCharsetCases) {
        const bool none = unconvertible && unconvertible(c);
        const std::string_view want = none ? c.in : c.out;
        CString out("<");
        const bool known = AppendAsSjis(CString(c.charset), c.in.data(), c.in.size(), out);
        std::string expected("<");
        expected += want;
        if (known != (c.known && !none) || out.Str() != expected)
            failures += std::string(c.what) + ": " + CharsetHex(out.Str().substr(1)) + "\n";
        if (none || CharsetRouteFor(CString(c.charset)) != CharsetRoute::kConvert)
            continue;
        std::string in, repeated;
        while (in.size() < 40000) {
            in += std::string(c.in) + "\n";
            repeated += std::string(want) + "\n";
        }
        CString longOut;
        AppendAsSjis(CString(c.charset), in.data(), in.size(), longOut);
        if (longOut.Str() != repeated)
            failures += std::string(c.what) + ": differs when repeated\n";
    }
    return failures;
}

// Every code unit of the Basic Multilingual Plane but the surrogates through
// platform::AppendUtf16AsCp932, in one text: each that gets a code must
// decode back to itself by code page 932 (no best fit), and as many must get
// one as Windows maps (9402, U+3013 GETA MARK among them). Empty when so.
inline std::string Cp932EncoderFailures()
{
    std::u16string all;
    for (unsigned u = 0; u < 0x10000; ++u)
        if (u < 0xD800 || u > 0xDFFF)
            all += static_cast<char16_t>(u);
    CString out;
    platform::AppendUtf16AsCp932(all.data(), all.size(), kGetaMark, out);
    platform::CharsetDecoder cp932(932, "CP932");
    std::string failures;
    int coded = 0;
    int at = 0;
    for (char16_t u : all) {
        const int length = SjisCharLength(out, at);
        const std::string bytes = out.Str().substr(static_cast<std::size_t>(at), static_cast<std::size_t>(length));
        at += length;
        if (bytes == kGetaMark && u != 0x3013)
            continue;
        ++coded;
        // Windows' single bytes for U+0080 and U+F8F0-U+F8F3, which iconv
        // does not decode.
        const char* single = u == 0x80 ? "\x80" : u == 0xF8F0 ? "\xA0" : u == 0xF8F1 ? "\xFD"
                           : u == 0xF8F2 ? "\xFE" : u == 0xF8F3 ? "\xFF" : nullptr;
        if (single) {
            if (bytes != single)
                failures += "U+" + std::to_string(u) + ": " + CharsetHex(bytes) + "\n";
            continue;
        }
        std::u16string back;
        if (!cp932.Decode(bytes.data(), bytes.size(), back) || back != std::u16string(1, u)) {
            char line[64];
            std::snprintf(line, sizeof line, "U+%04X: %s\n", static_cast<unsigned>(u), CharsetHex(bytes).c_str());
            failures += line;
        }
    }
    if (at != out.GetLength())
        failures += "the codes do not match the characters one for one\n";
    if (coded != 9402)
        failures += std::to_string(coded) + " characters with a code, not 9402\n";
    return failures;
}

// EUC-JP's NEC row 13 and rows 89-92 come out as the Shift_JIS code that
// Windows gives their characters (code page 932 there and back). Empty when
// every one does.
inline std::string EucJpWindowsCodeFailures()
{
    platform::CharsetDecoder cp932(932, "CP932");
    std::string failures;
    for (int lead : {0x87, 0xED, 0xEE}) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!IsCp932Assigned(static_cast<BYTE>(lead), static_cast<BYTE>(trail)))
                continue;
            // Shift_JIS back to the JIS row and cell, and on to EUC-JP.
            const int s1 = lead >= 0xE0 ? lead - 0x40 : lead;
            int j1 = (s1 - 0x81) * 2 + 0x21;
            int j2;
            if (trail >= 0x9F) {
                ++j1;
                j2 = trail - 0x7E;
            } else {
                j2 = trail - (trail >= 0x80 ? 0x20 : 0x1F);
            }
            const char euc[2] = {static_cast<char>(j1 | 0x80), static_cast<char>(j2 | 0x80)};
            CString got;
            AppendAsSjis(CString("euc-jp"), euc, 2, got);
            const char sjis[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            std::u16string unicode;
            CString want;
            if (cp932.Decode(sjis, 2, unicode))
                platform::AppendUtf16AsCp932(unicode.data(), unicode.size(), kGetaMark, want);
            if (got.Str() != want.Str())
                failures += CharsetHex(std::string_view(sjis, 2)) + "-> " + CharsetHex(got.Str()) + "not " +
                            CharsetHex(want.Str()) + "\n";
        }
    }
    return failures;
}

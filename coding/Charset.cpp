#include "coding/Charset.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "coding/Jis.h"
#include "coding/TransferDecode.h"
#include "framework/Ascii.h"
#include "framework/Platform.h"
#include "framework/Sjis.h"

const char kGetaMark[3] = "\x81\xAC";

namespace {

// How the bytes of a charset become characters.
enum class Decoding : unsigned char {
    kNone,         // the JIS converter, as is, or not at all
    kEucJp,        // EUC-JP, here: straight to Shift_JIS
    kUtf8,         // UTF-8, here
    kUtf7,         // UTF-7, here
    kSingleByte,   // one byte a character: the platform's decoder
    kCp949,        // lead 0x81-0xFE, trail 0x41-0x5A, 0x61-0x7A, 0x81-0xFE
    kCp950,        // lead 0x81-0xFE, trail 0x40-0x7E, 0xA1-0xFE
    kCp936,        // lead 0x81-0xFE, trail 0x40-0x7E, 0x80-0xFE
    kGb18030,      // as kCp936, and four-byte sequences 81-FE 30-39 81-FE 30-39
};

struct CharsetEntry {
    // Names in the form Normalized() gives them, the preferred MIME name
    // first, separated by blanks.
    const char* names;
    CharsetRoute route;
    Decoding decoding;
    unsigned codePage;       // Windows code page
    const char* iconvName;   // a name glibc and macOS's libiconv both know
};

// Every charset known here, the ones most mail uses first. The aliases are
// those of the IANA registry and of Python's codecs (the reader the tests
// compare with), where both builds' converters agree on what they mean.
constexpr CharsetEntry kCharsets[] = {
    {"iso_2022_jp csiso2022jp iso2022_jp iso2022jp iso_2022_jp_1 iso2022_jp_1 iso2022jp_1 "
     "iso_2022_jp_2 csiso2022jp2 iso2022_jp_2 iso2022jp_2 iso_2022_jp_3 iso2022_jp_3 iso2022jp_3",
     CharsetRoute::kJis, Decoding::kNone, 50220, "ISO-2022-JP"},
    {"us_ascii ascii csascii ansi_x3.4_1968 ansi_x3_4_1968 ansi_x3.4_1986 iso646_us iso_646.irv_1991 "
     "iso_ir_6 us cp367 ibm367 646",
     CharsetRoute::kJis, Decoding::kNone, 20127, "US-ASCII"},
    {"shift_jis shiftjis sjis s_jis x_sjis csshiftjis ms_kanji mskanji cp932 ms932 932 windows_31j "
     "cswindows31j x_ms_cp932",
     CharsetRoute::kAsIs, Decoding::kNone, 932, "CP932"},
    {"euc_jp eucjp x_euc_jp ujis u_jis cseucpkdfmtjapanese extended_unix_code_packed_format_for_japanese",
     CharsetRoute::kConvert, Decoding::kEucJp, 20932, "EUC-JP"},
    {"utf_8 utf8 u8 cp65001 unicode_1_1_utf_8", CharsetRoute::kConvert, Decoding::kUtf8, 65001, "UTF-8"},
    {"utf_7 utf7 u7 unicode_1_1_utf_7 csunicode11utf7", CharsetRoute::kConvert, Decoding::kUtf7, 65000, "UTF-7"},
    {"iso_8859_1 iso8859_1 8859 iso8859 latin1 latin_1 latin l1 iso_8859_1_1987 iso_ir_100 cp819 ibm819 "
     "csisolatin1",
     CharsetRoute::kConvert, Decoding::kSingleByte, 28591, "ISO-8859-1"},
    {"iso_8859_2 iso8859_2 latin2 l2 iso_8859_2_1987 iso_ir_101 csisolatin2", CharsetRoute::kConvert,
     Decoding::kSingleByte, 28592, "ISO-8859-2"},
    {"iso_8859_3 iso8859_3 latin3 l3 iso_8859_3_1988 iso_ir_109 csisolatin3", CharsetRoute::kConvert,
     Decoding::kSingleByte, 28593, "ISO-8859-3"},
    {"iso_8859_4 iso8859_4 latin4 l4 iso_8859_4_1988 iso_ir_110 csisolatin4", CharsetRoute::kConvert,
     Decoding::kSingleByte, 28594, "ISO-8859-4"},
    {"iso_8859_5 iso8859_5 cyrillic iso_8859_5_1988 iso_ir_144 csisolatincyrillic", CharsetRoute::kConvert,
     Decoding::kSingleByte, 28595, "ISO-8859-5"},
    {"iso_8859_6 iso8859_6 arabic asmo_708 ecma_114 iso_8859_6_1987 iso_ir_127 csisolatinarabic",
     CharsetRoute::kConvert, Decoding::kSingleByte, 28596, "ISO-8859-6"},
    {"iso_8859_7 iso8859_7 greek greek8 ecma_118 elot_928 iso_8859_7_1987 iso_ir_126 csisolatingreek",
     CharsetRoute::kConvert, Decoding::kSingleByte, 28597, "ISO-8859-7"},
    {"iso_8859_8 iso8859_8 hebrew iso_8859_8_1988 iso_ir_138 csisolatinhebrew iso_8859_8_i iso_8859_8_e",
     CharsetRoute::kConvert, Decoding::kSingleByte, 28598, "ISO-8859-8"},
    {"iso_8859_9 iso8859_9 latin5 l5 iso_8859_9_1989 iso_ir_148 csisolatin5", CharsetRoute::kConvert,
     Decoding::kSingleByte, 28599, "ISO-8859-9"},
    {"iso_8859_13 iso8859_13 latin7 l7", CharsetRoute::kConvert, Decoding::kSingleByte, 28603, "ISO-8859-13"},
    {"iso_8859_15 iso8859_15 latin9 latin_9 l9", CharsetRoute::kConvert, Decoding::kSingleByte, 28605,
     "ISO-8859-15"},
    // Thai: ISO-8859-11 and TIS-620 as Windows reads them (code page 874,
    // which also fills 0x80-0x9F).
    {"windows_874 cp874 x_cp874 iso_8859_11 iso8859_11 tis_620 tis620 tis_620_0 tis_620_2529_0 "
     "tis_620_2529_1 iso_ir_166 thai",
     CharsetRoute::kConvert, Decoding::kSingleByte, 874, "CP874"},
    {"windows_1250 cp1250 x_cp1250", CharsetRoute::kConvert, Decoding::kSingleByte, 1250, "CP1250"},
    {"windows_1251 cp1251 x_cp1251", CharsetRoute::kConvert, Decoding::kSingleByte, 1251, "CP1251"},
    {"windows_1252 cp1252 x_cp1252", CharsetRoute::kConvert, Decoding::kSingleByte, 1252, "CP1252"},
    {"windows_1253 cp1253 x_cp1253", CharsetRoute::kConvert, Decoding::kSingleByte, 1253, "CP1253"},
    {"windows_1254 cp1254 x_cp1254", CharsetRoute::kConvert, Decoding::kSingleByte, 1254, "CP1254"},
    {"windows_1255 cp1255 x_cp1255", CharsetRoute::kConvert, Decoding::kSingleByte, 1255, "CP1255"},
    {"windows_1256 cp1256 x_cp1256", CharsetRoute::kConvert, Decoding::kSingleByte, 1256, "CP1256"},
    {"windows_1257 cp1257 x_cp1257", CharsetRoute::kConvert, Decoding::kSingleByte, 1257, "CP1257"},
    {"windows_1258 cp1258 x_cp1258", CharsetRoute::kConvert, Decoding::kSingleByte, 1258, "CP1258"},
    {"koi8_r cskoi8r koi8", CharsetRoute::kConvert, Decoding::kSingleByte, 20866, "KOI8-R"},
    {"koi8_u", CharsetRoute::kConvert, Decoding::kSingleByte, 21866, "KOI8-U"},
    // Korean: mail labelled EUC-KR or KS C 5601 is read as Windows' code
    // page 949, EUC-KR and the extra Hangul syllables of Unified Hangul Code.
    {"euc_kr euckr cseuckr ks_c_5601_1987 ks_c_5601 ks_c_5601_1989 ksc5601 ksc_5601 ks_x_1001 ksx1001 "
     "korean cp949 uhc ms949 windows_949 x_windows_949",
     CharsetRoute::kConvert, Decoding::kCp949, 949, "CP949"},
    // Traditional Chinese: Big5 as Windows' code page 950.
    {"big5 big_5 big5_tw csbig5 cn_big5 x_x_big5 cp950 ms950 windows_950", CharsetRoute::kConvert,
     Decoding::kCp950, 950, "CP950"},
    // Simplified Chinese: GB2312 and GBK as Windows' code page 936 (GBK).
    {"gb2312 csgb2312 euc_cn euccn x_euc_cn eucgb2312_cn gb2312_1980 gb2312_80 gb_2312_80 iso_ir_58 "
     "csiso58gb231280 chinese gbk x_gbk cp936 ms936 windows_936 936",
     CharsetRoute::kConvert, Decoding::kCp936, 936, "CP936"},
    {"gb18030 gb18030_2000 gb18030_2005 gb18030_2022", CharsetRoute::kConvert, Decoding::kGb18030, 54936,
     "GB18030"},
};

// Longest charset name looked up; longer ones are unknown.
constexpr std::size_t kMaxName = 64;

// What a charset label names.
struct Lookup {
    bool none = false;                     // no charset at all: blank, or only quotes
    const CharsetEntry* entry = nullptr;   // else the charset, null when unknown
};

// A charset name as Python's codecs compare it: letters in lower case, every
// run of other characters than letters, digits and "." one "_", none at the
// ends (so "ISO-8859-1", "iso_8859_1" and " iso 8859 1 " are one name).
// Answers the length written to buf: 0 when nothing is left, or when the
// name is longer than kMaxName.
std::size_t Normalized(std::string_view name, char (&buf)[kMaxName])
{
    std::size_t n = 0;
    bool gap = false;
    for (const char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!(letter || (c >= '0' && c <= '9') || c == '.')) {
            gap = true;
            continue;
        }
        if (n + (gap && n > 0 ? 2 : 1) > kMaxName)
            return 0;
        if (gap && n > 0)
            buf[n++] = '_';
        gap = false;
        buf[n++] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return n;
}

// The labels nearly all mail has, as they are written, and their entries:
// looked at before any normalising.
struct CommonLabel {
    std::string_view label;
    std::size_t entry;
};
constexpr CommonLabel kCommonLabels[] = {
    {"iso-2022-jp", 0}, {"us-ascii", 1}, {"shift_jis", 2}, {"euc-jp", 3}, {"utf-8", 4},
};

constexpr bool CommonLabelsMatch()
{
    for (const CommonLabel& common : kCommonLabels) {
        const std::string_view names(kCharsets[common.entry].names);
        const std::string_view first = names.substr(0, names.find(' '));
        if (first.size() != common.label.size())
            return false;
        for (std::size_t i = 0; i < first.size(); ++i) {
            const char a = first[i] == '_' ? '-' : first[i];
            const char b = common.label[i] == '_' ? '-' : common.label[i];
            if (a != b)
                return false;
        }
    }
    return true;
}
static_assert(CommonLabelsMatch(), "each common label is the first name of its entry");

Lookup FindCharset(const char* name, std::size_t length)
{
    Lookup result;
    std::string_view label(name ? name : "", name ? length : 0);
    const std::size_t first = label.find_first_not_of(" \t\"");
    if (first == std::string_view::npos) {
        result.none = true;
        return result;
    }
    label.remove_prefix(first);
    label.remove_suffix(label.size() - 1 - label.find_last_not_of(" \t\""));
    for (const CommonLabel& common : kCommonLabels) {
        if (AsciiEqualsNoCase(label, common.label)) {
            result.entry = &kCharsets[common.entry];
            return result;
        }
    }
    char buf[kMaxName];
    const std::size_t n = Normalized(label, buf);
    if (n == 0)
        return result;
    const std::string_view wanted(buf, n);
    for (const CharsetEntry& entry : kCharsets) {
        for (const char* p = entry.names; *p;) {
            const char* end = p;
            while (*end && *end != ' ')
                ++end;
            if (std::string_view(p, static_cast<std::size_t>(end - p)) == wanted) {
                result.entry = &entry;
                return result;
            }
            p = *end ? end + 1 : end;
        }
    }
    return result;
}

// Longest text taken in one call: CString lengths are ints.
constexpr std::size_t kMaxText = 0x3FFFFFFF;

// ---- Unicode to Shift_JIS -------------------------------------------------

// Characters whose Unicode form differs between vendors' mappings of one JIS
// character: the form other systems (and Python's codecs) decode, turned into
// the one code page 932 maps, so that each becomes that JIS character.
char16_t CodePage932Form(char16_t c)
{
    switch (c) {
    case 0x301C: return 0xFF5E;   // WAVE DASH -> FULLWIDTH TILDE (0x8160)
    case 0x2016: return 0x2225;   // DOUBLE VERTICAL LINE -> PARALLEL TO (0x8161)
    case 0x2212: return 0xFF0D;   // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS (0x817C)
    case 0x00A2: return 0xFFE0;   // CENT SIGN -> FULLWIDTH CENT SIGN (0x8191)
    case 0x00A3: return 0xFFE1;   // POUND SIGN -> FULLWIDTH POUND SIGN (0x8192)
    case 0x00AC: return 0xFFE2;   // NOT SIGN -> FULLWIDTH NOT SIGN (0x81CA)
    case 0x2014: return 0x2015;   // EM DASH -> HORIZONTAL BAR (0x815C)
    default: return c;
    }
}

// Decoded text waiting for its conversion to Shift_JIS.
class Utf16Sink {
public:
    explicit Utf16Sink(CString& out) : m_out(out) {}
    ~Utf16Sink() { Flush(); }
    Utf16Sink(const Utf16Sink&) = delete;
    Utf16Sink& operator=(const Utf16Sink&) = delete;

    std::u16string& Buffer() { return m_buf; }
    void Put(char16_t c) { m_buf += c; }
    // Call between characters: a surrogate pair is never cut.
    void FlushIfFull()
    {
        if (m_buf.size() >= kPiece)
            Flush();
    }
    // Converts what is waiting: vendor forms to code page 932's, each
    // character beyond U+FFFF (a surrogate pair, or half of one) to the geta
    // mark U+3013, as code page 932 has none of them.
    void Flush()
    {
        std::size_t w = 0;
        const std::size_t n = m_buf.size();
        for (std::size_t r = 0; r < n; ++r) {
            const char16_t c = m_buf[r];
            if (c >= 0xD800 && c <= 0xDFFF) {
                if (c <= 0xDBFF && r + 1 < n && m_buf[r + 1] >= 0xDC00 && m_buf[r + 1] <= 0xDFFF)
                    ++r;
                m_buf[w++] = 0x3013;
            } else {
                m_buf[w++] = CodePage932Form(c);
            }
        }
        platform::AppendUtf16AsCp932(m_buf.data(), w, kGetaMark, m_out);
        m_buf.clear();
    }

private:
    static constexpr std::size_t kPiece = 8192;
    CString& m_out;
    std::u16string m_buf;
};

constexpr char16_t kReplacement = 0xFFFD;   // becomes the geta mark

// ---- UTF-8 ------------------------------------------------------------------

// One U+FFFD for each maximal part of a sequence that cannot be completed,
// and for each byte that starts none, as Unicode recommends and Python does.
void DecodeUtf8(const unsigned char* p, const unsigned char* end, Utf16Sink& sink)
{
    while (p < end) {
        sink.FlushIfFull();
        const unsigned char b = *p;
        if (b < 0x80) {
            sink.Put(b);
            ++p;
            continue;
        }
        int more;
        unsigned char lo = 0x80, hi = 0xBF;   // range of the second byte
        std::uint32_t c;
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
            c = b & 0x1Fu;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            c = b & 0x0Fu;
            if (b == 0xE0)
                lo = 0xA0;
            else if (b == 0xED)
                hi = 0x9F;   // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            c = b & 0x07u;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F;   // nothing beyond U+10FFFF
        } else {
            sink.Put(kReplacement);
            ++p;
            continue;
        }
        ++p;
        bool complete = true;
        for (int k = 0; k < more; ++k) {
            if (p == end || *p < lo || *p > hi) {
                complete = false;
                break;
            }
            c = (c << 6) | (*p & 0x3Fu);
            ++p;
            lo = 0x80;
            hi = 0xBF;
        }
        if (!complete)
            sink.Put(kReplacement);
        else if (c >= 0x10000)
            sink.Put(0x3013);   // beyond code page 932
        else
            sink.Put(static_cast<char16_t>(c));
    }
}

// ---- UTF-7 ------------------------------------------------------------------

int Base64Value(unsigned char c)
{
    return kBase64Value[c] == kNotBase64 ? -1 : kBase64Value[c];
}

// RFC 2152, read as Python does, except that a character which ends a
// broken shift sequence, or follows a "+" that starts none, is kept rather
// than swallowed by the error. Errors give U+FFFD; a character beyond U+FFFF
// and a lone surrogate give the geta mark.
void DecodeUtf7(const unsigned char* p, const unsigned char* end, Utf16Sink& sink)
{
    bool shifted = false;
    std::uint32_t bits = 0;   // the pending bits, the newest lowest
    int bitCount = 0;
    char16_t high = 0;        // a high surrogate waiting for its low half

    auto endShift = [&] {
        if (high != 0)
            sink.Put(0x3013);
        if (bitCount >= 6 || (bitCount > 0 && (bits & ((1u << bitCount) - 1)) != 0))
            sink.Put(kReplacement);   // a partial character, or padding that is not zero
        shifted = false;
        bits = 0;
        bitCount = 0;
        high = 0;
    };

    while (p < end) {
        const unsigned char c = *p;
        if (shifted) {
            const int v = Base64Value(c);
            if (v >= 0) {
                bits = (bits << 6) | static_cast<std::uint32_t>(v);
                bitCount += 6;
                ++p;
                if (bitCount >= 16) {
                    const char16_t unit = static_cast<char16_t>((bits >> (bitCount - 16)) & 0xFFFF);
                    bitCount -= 16;
                    bits &= (1u << bitCount) - 1;
                    if (high != 0) {
                        // A pair, beyond code page 932, or a lone high half.
                        sink.Put(0x3013);
                        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
                        high = 0;
                        if (low)
                            continue;
                    }
                    if (unit >= 0xD800 && unit <= 0xDBFF)
                        high = unit;
                    else if (unit >= 0xDC00 && unit <= 0xDFFF)
                        sink.Put(0x3013);
                    else
                        sink.Put(unit);
                    sink.FlushIfFull();
                }
                continue;
            }
            endShift();
            if (c == '-')
                ++p;   // absorbed; any other character is itself
            continue;
        }
        ++p;
        if (c == '+') {
            if (p < end && *p == '-') {
                sink.Put('+');
                ++p;
            } else if (p < end && Base64Value(*p) < 0) {
                sink.Put(kReplacement);   // "+" before a character that starts no sequence
            } else {
                shifted = true;
            }
        } else if (c < 0x80) {
            sink.Put(c);
        } else {
            sink.Put(kReplacement);
        }
        sink.FlushIfFull();
    }
    if (shifted)
        endShift();
}

// ---- EUC-JP -----------------------------------------------------------------

// JIS X 0212 characters that code page 932 holds.
struct Jis0212ToSjis {
    std::uint16_t jis;
    std::uint16_t sjis;
};
constexpr Jis0212ToSjis kJisX0212[] = {
#include "coding/JisX0212Table.inc"
};

constexpr bool SortedByJis()
{
    for (std::size_t i = 1; i < std::size(kJisX0212); ++i)
        if (kJisX0212[i - 1].jis >= kJisX0212[i].jis)
            return false;
    return true;
}
static_assert(SortedByJis(), "the JIS X 0212 table must be sorted");

// The Shift_JIS code Windows gives the character of the code page 932 code
// lead trail: a NEC row 13 symbol that JIS X 0208 also has becomes the JIS
// X 0208 one, a NEC-selected IBM extension (0xED40-0xEEFC) the IBM
// extension (0xFA40-0xFC4B) or the JIS X 0208 symbol. Others stay.
void WindowsCode(unsigned char& lead, unsigned char& trail)
{
    if (lead == 0x87) {
        static constexpr unsigned char kTrail[] = {0x90, 0x91, 0x92, 0x95, 0x96, 0x97, 0x9A, 0x9B, 0x9C};
        static constexpr unsigned char kJis[] = {0xE0, 0xDF, 0xE7, 0xE3, 0xDB, 0xDA, 0xE6, 0xBF, 0xBE};
        for (std::size_t i = 0; i < std::size(kTrail); ++i) {
            if (trail == kTrail[i]) {
                lead = 0x81;
                trail = kJis[i];
            }
        }
        return;
    }
    if (lead != 0xED && lead != 0xEE)
        return;
    if (lead == 0xEE && trail >= 0xEF) {
        if (trail <= 0xF8) {   // small roman numerals
            lead = 0xFA;
            trail = static_cast<unsigned char>(0x40 + (trail - 0xEF));
        } else if (trail == 0xF9) {   // NOT SIGN
            lead = 0x81;
            trail = 0xCA;
        } else {   // BROKEN BAR, APOSTROPHE, QUOTATION MARK
            lead = 0xFA;
            trail = static_cast<unsigned char>(0x55 + (trail - 0xFA));
        }
        return;
    }
    // The 360 kanji, in the same order in both places, counted over trail
    // bytes 0x40-0x7E, 0x80-0xFC (188 a lead byte).
    const int index = (lead - 0xED) * 188 + (trail - 0x40 - (trail >= 0x80 ? 1 : 0)) + 28;
    const int t = index % 188;
    lead = static_cast<unsigned char>(0xFA + index / 188);
    trail = static_cast<unsigned char>(t + 0x40 + (t >= 0x3F ? 1 : 0));
}

// EUC-JP straight to Shift_JIS: JIS X 0208 (with NEC row 13 and rows 89-92,
// as Microsoft's EUC-JP has them) by the JIS arithmetic, SS2 half-width
// katakana, SS3 JIS X 0212 through its table. A byte that starts no
// character, or a lead byte whose next byte cannot follow it, is one bad
// sequence; a complete sequence that code page 932 cannot hold is one
// character without a code. Each becomes the geta mark.
void DecodeEucJp(const unsigned char* p, const unsigned char* end, CString& out)
{
    std::string& s = out.Str();
    s.reserve(s.size() + static_cast<std::size_t>(end - p));
    auto inRange = [&](const unsigned char* q) { return q < end && *q >= 0xA1 && *q <= 0xFE; };
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            const unsigned char* q = p;
            while (q < end && *q < 0x80)
                ++q;
            s.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(q - p));
            p = q;
            continue;
        }
        if (b >= 0xA1 && b <= 0xFE && inRange(p + 1)) {
            const unsigned char j1 = b & 0x7F, j2 = p[1] & 0x7F;
            unsigned char s1 = static_cast<unsigned char>(((j1 - 0x21) >> 1) + 0x81);
            if (s1 > 0x9F)
                s1 = static_cast<unsigned char>(s1 + 0x40);
            unsigned char s2 = static_cast<unsigned char>(j2 + ((j1 & 1) ? 0x1F : 0x7D));
            if (s2 >= 0x7F)
                ++s2;
            if (IsCp932Assigned(s1, s2)) {
                WindowsCode(s1, s2);
                s += static_cast<char>(s1);
                s += static_cast<char>(s2);
            } else {
                s.append(kGetaMark, 2);
            }
            p += 2;
        } else if (b == 0x8E && p + 1 < end && p[1] >= 0xA1 && p[1] <= 0xDF) {
            s += static_cast<char>(p[1]);
            p += 2;
        } else if (b == 0x8F && inRange(p + 1) && inRange(p + 2)) {
            const std::uint16_t jis = static_cast<std::uint16_t>(((p[1] & 0x7F) << 8) | (p[2] & 0x7F));
            const Jis0212ToSjis* hit = std::lower_bound(
                std::begin(kJisX0212), std::end(kJisX0212), jis,
                [](const Jis0212ToSjis& e, std::uint16_t v) { return e.jis < v; });
            if (hit != std::end(kJisX0212) && hit->jis == jis) {
                if (hit->sjis >= 0x100)
                    s += static_cast<char>(hit->sjis >> 8);
                s += static_cast<char>(hit->sjis & 0xFF);
            } else {
                s.append(kGetaMark, 2);
            }
            p += 3;
        } else {
            s.append(kGetaMark, 2);
            ++p;
        }
    }
}

// ---- Charsets the platform decodes -------------------------------------------

// Length of the character at p by the charset's structure (1, 2 or 4
// bytes), or 0 for a byte that starts none: 0x80 or 0xFF in a multi-byte
// charset, or a lead byte that the bytes after it cannot follow. That byte
// alone is a bad sequence. Whether a well-formed character is one of the
// charset is the platform decoder's answer.
std::size_t CharLength(Decoding decoding, const unsigned char* p, const unsigned char* end)
{
    const unsigned char b = *p;
    if (decoding == Decoding::kSingleByte || b < 0x80)
        return 1;
    if (b == 0x80 || b == 0xFF)
        return 0;   // (Windows has U+0080 or the euro sign there, nobody else)
    if (end - p < 2)
        return 0;
    const unsigned char t = p[1];
    switch (decoding) {
    case Decoding::kCp949:
        return ((t >= 0x41 && t <= 0x5A) || (t >= 0x61 && t <= 0x7A) || (t >= 0x81 && t <= 0xFE)) ? 2 : 0;
    case Decoding::kCp950:
        return ((t >= 0x40 && t <= 0x7E) || (t >= 0xA1 && t <= 0xFE)) ? 2 : 0;
    case Decoding::kGb18030:
        if (t >= 0x30 && t <= 0x39)
            return end - p >= 4 && p[2] >= 0x81 && p[2] <= 0xFE && p[3] >= 0x30 && p[3] <= 0x39 ? 4 : 0;
        [[fallthrough]];
    case Decoding::kCp936:
        return ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE)) ? 2 : 0;
    default:
        return 1;
    }
}

// Whole characters of one charset through the platform's decoder, in runs;
// a run the decoder refuses is halved until the characters it refuses are
// found, each of which becomes U+FFFD.
class PlatformDecoding {
public:
    PlatformDecoding(const CharsetEntry& entry, Utf16Sink& sink)
        : m_decoder(entry.codePage, entry.iconvName), m_decoding(entry.decoding), m_sink(sink)
    {
    }

    bool IsAvailable() const { return m_decoder.IsAvailable(); }

    void Run(const unsigned char* p, const unsigned char* end)
    {
        std::vector<std::uint16_t> starts;   // offsets of a run's characters, and its end
        std::ptrdiff_t limit = kRun;
        while (p < end) {
            starts.clear();
            const unsigned char* q = p;
            while (q < end && q - p < limit) {
                const std::size_t length = CharLength(m_decoding, q, end);
                if (length == 0)
                    break;
                starts.push_back(static_cast<std::uint16_t>(q - p));
                q += length;
            }
            starts.push_back(static_cast<std::uint16_t>(q - p));
            const unsigned char* const next = starts.size() > 1 ? Decode(p, starts, 0, starts.size() - 1) : q;
            m_sink.FlushIfFull();
            if (next != q) {
                // A character was refused: reading goes on after its first
                // byte, in short runs first, so that broken text is not
                // handed over again and again in long ones.
                limit = kShortRun;
                p = next;
                continue;
            }
            limit = std::min(kRun, limit * 2);
            if (q < end && CharLength(m_decoding, q, end) == 0) {
                m_sink.Put(kReplacement);   // a byte that starts no character
                ++q;
            }
            m_sink.FlushIfFull();
            p = q;
        }
    }

private:
    // Longest run handed over at once, in bytes (a character may end past it).
    static constexpr std::ptrdiff_t kRun = 4096;
    // The first run after a refused character.
    static constexpr std::ptrdiff_t kShortRun = 16;

    // Characters [first, last) of the run at run: the whole range, and when
    // the decoder refuses it, each half. Answers where reading goes on: the
    // range's end, or, when a character in it was refused, the byte after
    // that character's first. Of a refused character only its first byte is
    // a bad sequence and the bytes after it are read again, as mail readers'
    // decoders read them (so a lead byte that is none, as 0x85 in Big5, does
    // not take the lead byte after it along). In a multi-byte charset a
    // character the decoder puts in the private use area is refused too:
    // these are the charset's user-defined areas, none of code page 932's
    // user-defined characters there (and one decoder refuses what another
    // puts there, so both are read alike). Recursion depth: log2(kRun) + 1.
    const unsigned char* Decode(const unsigned char* run, const std::vector<std::uint16_t>& starts,
                                std::size_t first, std::size_t last)
    {
        std::u16string& buf = m_sink.Buffer();
        const std::size_t before = buf.size();
        const unsigned char* text = run + starts[first];
        const unsigned char* const end = run + starts[last];
        if (m_decoder.Decode(reinterpret_cast<const char*>(text), static_cast<std::size_t>(end - text), buf)) {
            if (m_decoding == Decoding::kSingleByte ||
                std::none_of(buf.begin() + static_cast<std::ptrdiff_t>(before), buf.end(),
                             [](char16_t c) { return c >= 0xE000 && c <= 0xF8FF; }))
                return end;
            buf.resize(before);
        }
        if (last - first == 1) {
            buf += kReplacement;
            return text + 1;
        }
        const std::size_t middle = first + (last - first) / 2;
        const unsigned char* const next = Decode(run, starts, first, middle);
        if (next != run + starts[middle])
            return next;
        return Decode(run, starts, middle, last);
    }

    platform::CharsetDecoder m_decoder;
    Decoding m_decoding;
    Utf16Sink& m_sink;
};

// The JIS route: converted in place at the end of out, kept up to the first
// NUL of the result.
void AppendJis(const char* text, std::size_t n, CString& out)
{
    // n is at least 1 and at most kMaxText.
    std::string& s = out.Str();
    const std::size_t at = s.size();
    s.append(text, n);
    int length = static_cast<int>(n);
    // The NUL written after the result lands at most on the string's own
    // terminator.
    CJisConverter().Convert(s.data() + at, length, s.data() + at, length);
    const void* nul = std::memchr(s.data() + at, '\0', static_cast<std::size_t>(length));
    s.resize(nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - s.data()) : at + static_cast<std::size_t>(length));
}

}  // namespace

CharsetRoute CharsetRouteFor(const char* name, std::size_t length)
{
    const Lookup found = FindCharset(name, length);
    if (found.none)
        return CharsetRoute::kJis;
    return found.entry ? found.entry->route : CharsetRoute::kUnknown;
}

bool AppendAsSjis(const char* charset, std::size_t charsetLength, const char* text, std::size_t n, CString& out)
{
    if (n > kMaxText)
        return false;   // more than a string holds: nothing appended
    const Lookup found = FindCharset(charset, charsetLength);
    const CharsetEntry* entry = found.entry;
    if (!found.none && !entry) {
        out.Append(text, static_cast<int>(n));
        return false;
    }
    if (!text || n == 0)
        return true;
    if (found.none || entry->route == CharsetRoute::kJis) {
        AppendJis(text, n, out);
        return true;
    }
    if (entry->route == CharsetRoute::kAsIs) {
        out.Append(text, static_cast<int>(n));
        return true;
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* end = p + n;
    switch (entry->decoding) {
    case Decoding::kEucJp:
        DecodeEucJp(p, end, out);
        return true;
    case Decoding::kUtf8: {
        Utf16Sink sink(out);
        DecodeUtf8(p, end, sink);
        return true;
    }
    case Decoding::kUtf7: {
        Utf16Sink sink(out);
        DecodeUtf7(p, end, sink);
        return true;
    }
    default: {
        Utf16Sink sink(out);
        PlatformDecoding decoding(*entry, sink);
        if (!decoding.IsAvailable())
            break;
        decoding.Run(p, end);
        return true;
    }
    }
    // A charset this system has no converter for.
    out.Append(text, static_cast<int>(n));
    return false;
}

// Base64 decoder and encoded-word decoding of header values.
#include "coding/Base64.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "coding/Charset.h"
#include "coding/Jis.h"
#include "coding/MimeHeader.h"
#include "coding/TransferDecode.h"
#include "framework/Ui.h"

namespace {

constexpr unsigned char kInvalid = kNotBase64;
const std::array<unsigned char, 256>& kValue = kBase64Value;

// Bytes an encoded word's charset may hold: printable ASCII but for the
// specials of RFC 2047 ("*" stays: it opens an RFC 2231 language).
bool IsCharsetByte(unsigned char c)
{
    if (c <= 0x20 || c >= 0x7F)
        return false;
    for (const char* s = "()<>@,;:\\\"/[]?="; *s; ++s)
        if (c == static_cast<unsigned char>(*s))
            return false;
    return true;
}

// Bytes an encoded word's text may hold: printable ASCII but "?"; in Q text
// also 8-bit bytes, which mail readers take as themselves (mailers wrote
// them there unencoded).
bool IsEncodedTextByte(unsigned char c, char encoding)
{
    return (c > 0x20 && c < 0x7F && c != '?') || (c >= 0x80 && encoding == 'Q');
}

// Where the parts of one encoded word "=?charset?B|Q?text?=" stand in a value.
struct EncodedWord {
    int charset = 0;          // the charset name, without an RFC 2231 "*language"
    int charsetLength = 0;
    char encoding = 0;        // 'B' or 'Q'
    int text = 0;
    int textLength = 0;
    int end = 0;              // just behind the closing "?="
};

// Reads the encoded word that begins with the "=?" at open; false when what
// follows is not one (then the "=?" is plain text).
bool ParseEncodedWord(const CString& value, int open, EncodedWord& word)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(value.GetString());
    const int n = value.GetLength();
    int k = open + 2;
    while (k < n && IsCharsetByte(p[k]))
        ++k;
    int nameEnd = open + 2;
    while (nameEnd < k && p[nameEnd] != '*')
        ++nameEnd;
    if (nameEnd == open + 2 || n - k < 3 || p[k] != '?' || p[k + 2] != '?')
        return false;
    const char encoding = static_cast<char>(p[k + 1] & ~0x20);
    if (encoding != 'B' && encoding != 'Q')
        return false;
    const int text = k + 3;
    k = text;
    while (k < n && IsEncodedTextByte(p[k], encoding))
        ++k;
    if (n - k < 2 || p[k] != '?' || p[k + 1] != '=')
        return false;
    word.charset = open + 2;
    word.charsetLength = nameEnd - (open + 2);
    word.encoding = encoding;
    word.text = text;
    word.textLength = k - text;
    word.end = k + 2;
    return true;
}

// Appends the word's text decoded and turned from its charset into
// Shift_JIS to out; false, with out unchanged, for a charset that no
// converter knows or a text that does not decode.
bool AppendDecodedWord(const CString& value, const EncodedWord& word, CString& bytes, CString& out)
{
    const char* charset = value.GetString() + word.charset;
    const bool known = CharsetRouteFor(charset, static_cast<std::size_t>(word.charsetLength)) != CharsetRoute::kUnknown;
    const char* text = value.GetString() + word.text;
    // Both decodings as mail readers do them: lenient Base64 (padding
    // missing or to spare, stray bytes skipped), and Q with "_" as a space
    // and a bad escape kept as it stands.
    bytes.Empty();
    const auto length = static_cast<std::size_t>(word.textLength);
    if (word.encoding != 'B')
        AppendQuotedPrintableDecoded(text, length, bytes, true);
    else if (!AppendBase64Decoded(text, length, bytes))
        return false;
    if (!known) {
        // A charset no converter knows: its text can still be read when it
        // is all ASCII, as in every charset mail uses ("=?NONE?B?...?=").
        for (const char c : std::string_view(bytes.GetString(), static_cast<std::size_t>(bytes.GetLength())))
            if (static_cast<unsigned char>(c) >= 0x80 || c == '\0')
                return false;
        out += bytes;
        return true;
    }
    return AppendAsSjis(charset, static_cast<std::size_t>(word.charsetLength), bytes.GetString(),
                        static_cast<std::size_t>(bytes.GetLength()), out);
}

bool IsWhiteGap(const CString& value, int from, int to)
{
    for (int k = from; k < to; ++k) {
        const char c = value[k];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

}  // namespace

CBase64::CBase64() = default;

int CBase64::GetDecodeBufferSize(int n)
{
    m_bReady = true;
    if (n < 0)
        return 0;
    return static_cast<int>((static_cast<long long>(n) + 3) / 4 * 3);
}

int CBase64::Decode(int n, int& decodedLength, const char* text, BYTE* output)
{
    if (!m_bReady) {
        AfxMessageBox("CBase64::Decode() -> notYetAllocBuffer");
        return 2;
    }
    m_bReady = false;
    if (n < 0 || n % 4 != 0)
        return 1;

    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    const int groups = n / 4;
    unsigned bad = 0;
    BYTE* out = output;
    // Every group but the last: four alphabet bytes give three bytes.
    for (int g = 0; g + 1 < groups; ++g, in += 4, out += 3) {
        const unsigned a = kValue[in[0]], b = kValue[in[1]], c = kValue[in[2]], d = kValue[in[3]];
        bad |= a | b | c | d;
        const unsigned v = (a << 18) | (b << 12) | (c << 6) | d;
        out[0] = static_cast<BYTE>(v >> 16);
        out[1] = static_cast<BYTE>(v >> 8);
        out[2] = static_cast<BYTE>(v);
    }
    int length = 3 * groups;
    if (groups > 0) {
        const unsigned a = kValue[in[0]], b = kValue[in[1]];
        bad |= a | b;
        if (in[2] == '=') {
            out[0] = static_cast<BYTE>(((a << 2) | (b >> 4)) & 0xFF);
            length -= 2;
        } else {
            const unsigned c = kValue[in[2]];
            bad |= c;
            if (in[3] == '=') {
                out[0] = static_cast<BYTE>(((a << 2) | (b >> 4)) & 0xFF);
                out[1] = static_cast<BYTE>(((b << 4) | (c >> 2)) & 0xFF);
                length -= 1;
            } else {
                const unsigned d = kValue[in[3]];
                bad |= d;
                const unsigned v = ((a & 63) << 18) | ((b & 63) << 12) | ((c & 63) << 6) | (d & 63);
                out[0] = static_cast<BYTE>(v >> 16);
                out[1] = static_cast<BYTE>(v >> 8);
                out[2] = static_cast<BYTE>(v);
            }
        }
    }
    if (bad & kInvalid)
        return 1;
    decodedLength = length;
    return 0;
}

CString DecodeEncodedText(const CString& base64Text)
{
    CString bytes;
    if (!AppendBase64Decoded(base64Text.GetString(), static_cast<std::size_t>(base64Text.GetLength()), bytes))
        return base64Text;
    ConvertStringJisToSjis(bytes);
    return bytes;
}

void DecodeHeaderValue(CString value, CString& result)
{
    result.Empty();
    const int n = value.GetLength();
    if (n == 0)
        return;
    int open = value.Find("=?");
    const unsigned char* bytesIn = reinterpret_cast<const unsigned char*>(value.GetString());
    bool eightBit = false;
    for (int k = 0; k < n && !eightBit; ++k)
        eightBit = bytesIn[k] >= 0x80;
    if (open < 0 && !eightBit) {
        result = value;
        ConvertStringJisToSjis(result);
        return;
    }

    // The text outside the encoded words: UTF-8 when the whole value is valid
    // UTF-8 holding a byte of 128 or above (the same test that decides how
    // the field's tokens are walked), else the ISO-2022-JP converter, which
    // passes Shift_JIS and ASCII unchanged. Each run between two words is
    // converted on its own.
    const char* const outside = HeaderTextWalkFor(value) == kHeaderWalkBytes ? "utf-8" : "";
    const std::size_t outsideLength = std::strlen(outside);
    auto appendOutside = [&](int from, int to, CString& out) {
        if (to > from)
            AppendAsSjis(outside, outsideLength, value.GetString() + from, static_cast<std::size_t>(to - from), out);
    };

    CString decoded;
    CString word;    // one word's outcome
    CString bytes;   // one word's bytes before the charset conversion
    int i = 0;                  // the first byte not yet in the result
    bool afterWord = false;     // the result so far ends with a decoded word
    for (; open >= 0; open = value.Find("=?", open + 1)) {
        EncodedWord parsed;
        if (!ParseEncodedWord(value, open, parsed))
            continue;
        word.Empty();
        const bool ok = AppendDecodedWord(value, parsed, bytes, word);
        // White space alone between two decoded words does not belong to the text
        // (RFC 2047); next to a word kept as it stands it stays.
        if (!(ok && afterWord && IsWhiteGap(value, i, open)))
            appendOutside(i, open, decoded);
        if (ok)
            decoded += word;
        else
            decoded.Append(value.GetString() + open, parsed.end - open);
        afterWord = ok;
        i = parsed.end;
        open = parsed.end - 1;
    }
    appendOutside(i, n, decoded);
    result = decoded;
}

// Base64 decoder and encoded-word decoding of header values.
#include "coding/Base64.h"

#include <array>
#include <string>

#include "coding/Jis.h"
#include "framework/Ui.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kInvalid = 0x80;

// 6-bit value of each byte; kInvalid for bytes outside the alphabet.
constexpr std::array<unsigned char, 256> MakeTable()
{
    std::array<unsigned char, 256> t{};
    for (auto& v : t)
        v = kInvalid;
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<unsigned char>(i);
    return t;
}
constexpr std::array<unsigned char, 256> kValue = MakeTable();

constexpr char kOpening[] = "=?iso-2022-jp?b?";
constexpr int kOpeningLength = 16;

bool MatchesOpening(const CString& value, int at)
{
    if (value.GetLength() - at < kOpeningLength)
        return false;
    for (int k = 0; k < kOpeningLength; ++k) {
        char c = value[at + k];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kOpening[k])
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
    CBase64 decoder;
    const int n = base64Text.GetLength();
    CString text;
    std::string& decoded = text.Str();
    decoded.resize(static_cast<size_t>(decoder.GetDecodeBufferSize(n)));
    int length = 0;
    if (decoder.Decode(n, length, base64Text.GetString(), reinterpret_cast<BYTE*>(decoded.data())) != 0)
        return base64Text;
    decoded.resize(static_cast<size_t>(length));
    ConvertStringJisToSjis(text);
    return text;
}

void DecodeHeaderValue(CString value, CString& result)
{
    result.Empty();
    const int n = value.GetLength();
    if (n == 0)
        return;
    CString decoded;
    int i = 0;
    bool afterWord = false;   // the text so far ends with a decoded word
    while (i < n) {
        const int open = value.Find("=?", i);
        if (open < 0) {
            if (i > 0) {
                decoded += value.Mid(i);
                result = decoded;
            } else {
                result = value;
                ConvertStringJisToSjis(result);
            }
            return;
        }
        // White space between two encoded words is no part of the text (RFC 2047).
        bool gapIsWhite = afterWord;
        for (int k = i; k < open && gapIsWhite; ++k)
            gapIsWhite = value[k] == ' ' || value[k] == '\t' || value[k] == '\r' || value[k] == '\n';
        if (!gapIsWhite)
            decoded.Append(value.GetString() + i, open - i);
        if (!MatchesOpening(value, open)) {
            result = value;
            return;
        }
        const int textStart = open + kOpeningLength;
        const int close = value.Find("?=", textStart);
        if (close < 0) {
            result = value;
            return;
        }
        const CString text = value.Mid(textStart, close - textStart);
        const CString word = DecodeEncodedText(text);
        if (!word.IsEmpty())
            decoded += word;
        afterWord = word != text;   // invalid Base64 comes back as it was: no word
        i = close + 2;
    }
    result = decoded;
}

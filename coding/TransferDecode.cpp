#include "coding/TransferDecode.h"

#include <array>
#include <memory>

#include "framework/Ascii.h"

namespace {

constexpr std::array<unsigned char, 256> MakeBase64Values()
{
    std::array<unsigned char, 256> t{};
    for (auto& v : t)
        v = kNotBase64;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(alphabet[i])] = static_cast<unsigned char>(i);
    return t;
}
int HexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

constexpr std::array<unsigned char, 256> kBase64Value = MakeBase64Values();

TransferEncoding TransferEncodingFor(const CString& token)
{
    const std::string_view name(token.GetString(), static_cast<std::size_t>(token.GetLength()));
    if (AsciiEqualsNoCase(name, "base64"))
        return TransferEncoding::kBase64;
    if (AsciiEqualsNoCase(name, "quoted-printable"))
        return TransferEncoding::kQuotedPrintable;
    return TransferEncoding::kIdentity;
}

bool AppendBase64Decoded(const char* text, std::size_t n, CString& out)
{
    // Three bytes for every four characters; the result is never longer.
    const std::size_t capacity = n / 4 * 3 + 3;
    const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(capacity);
    unsigned char* o = buffer.get();
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* const end = p + n;
    int quad = 0;          // characters of the current group seen
    int pads = 0;          // "=" seen since the last character
    unsigned left = 0;     // bits of the group not yet written
    for (; p < end; ++p) {
        if (*p == '=') {
            if (quad >= 2 && quad + ++pads >= 4)
                break;   // the group is complete: the data ends here
            continue;
        }
        const unsigned v = kBase64Value[*p];
        if (v == kNotBase64)
            continue;
        pads = 0;
        switch (quad) {
        case 0:
            left = v;
            quad = 1;
            break;
        case 1:
            *o++ = static_cast<unsigned char>((left << 2) | (v >> 4));
            left = v & 0x0F;
            quad = 2;
            break;
        case 2:
            *o++ = static_cast<unsigned char>((left << 4) | (v >> 2));
            left = v & 0x03;
            quad = 3;
            break;
        default:
            *o++ = static_cast<unsigned char>((left << 6) | v);
            quad = 0;
            break;
        }
    }
    if (p == end && quad == 1)
        return false;   // six bits are no byte: the text cannot be decoded
    out.Append(reinterpret_cast<const char*>(buffer.get()), static_cast<int>(o - buffer.get()));
    return true;
}

void AppendQuotedPrintableDecoded(const char* text, std::size_t n, CString& out, bool header)
{
    const auto buffer = std::make_unique_for_overwrite<char[]>(n + 1);
    char* o = buffer.get();
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* const end = p + n;
    while (p < end) {
        const unsigned char c = *p++;
        if (c != '=') {
            *o++ = header && c == '_' ? ' ' : static_cast<char>(c);
            continue;
        }
        if (p == end)
            break;   // an "=" at the very end goes
        if (*p == '\n' || *p == '\r') {
            // A soft line break: the line end (everything up to its LF) goes.
            while (p < end && *p != '\n')
                ++p;
            if (p < end)
                ++p;
        } else if (*p == '=') {
            *o++ = '=';
            ++p;
        } else if (end - p >= 2 && HexValue(p[0]) >= 0 && HexValue(p[1]) >= 0) {
            *o++ = static_cast<char>(HexValue(p[0]) << 4 | HexValue(p[1]));
            p += 2;
        } else {
            *o++ = '=';   // a bad escape stays as it stands
        }
    }
    out.Append(buffer.get(), static_cast<int>(o - buffer.get()));
}

#include "framework/Sjis.h"

#include "framework/Ascii.h"

int SjisCharLength(const CString& text, int index)
{
    if (index + 1 < text.GetLength() && IsSjisLeadByte(static_cast<BYTE>(text[index])))
        return 2;
    return 1;
}

int SjisFind(const CString& text, char ch, int start)
{
    const int n = text.GetLength();
    for (int i = 0; i < n; i += SjisCharLength(text, i)) {
        if (i >= start && text[i] == ch)
            return i;
    }
    return -1;
}

int SjisReverseFind(const CString& text, char ch)
{
    int found = -1;
    const int n = text.GetLength();
    for (int i = 0; i < n; i += SjisCharLength(text, i)) {
        if (text[i] == ch)
            found = i;
    }
    return found;
}

bool SjisEndsWith(const CString& text, char ch)
{
    const int n = text.GetLength();
    int last = -1;
    for (int i = 0; i < n; i += SjisCharLength(text, i))
        last = i;
    return last >= 0 && last == n - 1 && text[last] == ch;
}

void SjisTrimRight(CString& text, char ch)
{
    // Find where the trailing run of single-byte ch characters begins.
    const int n = text.GetLength();
    int keep = 0;
    for (int i = 0; i < n;) {
        int len = SjisCharLength(text, i);
        if (!(len == 1 && text[i] == ch))
            keep = i + len;
        i += len;
    }
    text = text.Left(keep);
}

int SjisClampLength(const CString& text, int maxBytes)
{
    const int n = text.GetLength();
    if (maxBytes >= n)
        return n;
    int end = 0;
    for (int i = 0; i < n;) {
        int len = SjisCharLength(text, i);
        if (i + len > maxBytes)
            break;
        i += len;
        end = i;
    }
    return end;
}

bool SjisEqualNoCase(const CString& a, const CString& b)
{
    if (a.GetLength() != b.GetLength())
        return false;
    for (int i = 0; i < a.GetLength();) {
        const int len = SjisCharLength(a, i);
        if (len != SjisCharLength(b, i))
            return false;
        if (len == 2 ? (a[i] != b[i] || a[i + 1] != b[i + 1]) : AsciiToLower(a[i]) != AsciiToLower(b[i]))
            return false;
        i += len;
    }
    return true;
}

CString SjisWrapPath(const CString& path, int maxWidth, const SjisWidth& width)
{
    CString out;
    const char* s = path.GetString();
    const int n = path.GetLength();
    int lineStart = 0;    // in path
    int lineWidth = 0;    // of path[lineStart, i)
    int lastBreak = -1;   // in path: just after the line's last "\"
    int i = 0;
    while (i < n) {
        const int len = SjisCharLength(path, i);
        const int w = width(s + i, len);
        if (i > lineStart && lineWidth + w > maxWidth) {
            // Cut after the line's last "\", else before this character, and
            // measure the new line from its start.
            const int end = lastBreak > lineStart ? lastBreak : i;
            out.Append(s + lineStart, end - lineStart);
            out += '\n';
            i = lineStart = end;
            lineWidth = 0;
            lastBreak = -1;
            continue;
        }
        lineWidth += w;
        if (len == 1 && s[i] == '\\')
            lastBreak = i + 1;
        i += len;
    }
    out.Append(s + lineStart, n - lineStart);
    return out;
}

CString SjisWrapPath(const CString& path, int maxBytes)
{
    return SjisWrapPath(path, maxBytes < 2 ? 2 : maxBytes, [](const char*, int length) { return length; });
}

CString SjisBreakLongRuns(const CString& text, int maxWidth, const SjisWidth& width)
{
    CString out;
    const char* s = text.GetString();
    const int n = text.GetLength();
    int runStart = 0;
    for (int i = 0; i <= n;) {
        const int len = i < n ? SjisCharLength(text, i) : 1;
        const bool endsRun = i == n || len == 2 || s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n';
        if (endsRun) {
            out += SjisWrapPath(CString(s + runStart, i - runStart), maxWidth, width);
            if (i < n)
                out.Append(s + i, len);
            runStart = i + len;
        }
        i += len;
    }
    return out;
}

namespace {

// Trail byte ranges of the lead bytes whose rows code page 932 fills only in
// part (lead bytes 0x81-0x87, 0x88, 0x98, 0xEA, 0xEE, 0xFC); rows not listed
// are full (trail 0x40-0x7E and 0x80-0xFC) or empty.
struct TrailRange {
    BYTE lead, from, to;
};
constexpr TrailRange kPartRows[] = {
    {0x81, 0x40, 0xAC}, {0x81, 0xB8, 0xBF}, {0x81, 0xC8, 0xCE}, {0x81, 0xDA, 0xE8}, {0x81, 0xF0, 0xF7},
    {0x81, 0xFC, 0xFC}, {0x82, 0x4F, 0x58}, {0x82, 0x60, 0x79}, {0x82, 0x81, 0x9A}, {0x82, 0x9F, 0xF1},
    {0x83, 0x40, 0x96}, {0x83, 0x9F, 0xB6}, {0x83, 0xBF, 0xD6}, {0x84, 0x40, 0x60}, {0x84, 0x70, 0x91},
    {0x84, 0x9F, 0xBE}, {0x87, 0x40, 0x5D}, {0x87, 0x5F, 0x75}, {0x87, 0x7E, 0x9C}, {0x88, 0x9F, 0xFC},
    {0x98, 0x40, 0x72}, {0x98, 0x9F, 0xFC}, {0xEA, 0x40, 0xA4}, {0xEE, 0x40, 0xEC}, {0xEE, 0xEF, 0xFC},
    {0xFC, 0x40, 0x4B},
};

constexpr void SetBits(Cp932AssignedBits& bits, int lead, int from, int to)
{
    for (int trail = from; trail <= to; ++trail)
        if (trail != 0x7F)
            bits.words[lead * 8 + trail / 32] |= std::uint32_t{1} << (trail % 32);
}

constexpr Cp932AssignedBits MakeAssignedBits()
{
    Cp932AssignedBits bits{};
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if ((lead > 0x9F && lead < 0xE0) || lead == 0x85 || lead == 0x86 || lead == 0xEB || lead == 0xEC ||
            lead == 0xEF)
            continue;
        bool partRow = false;
        for (const TrailRange& r : kPartRows) {
            if (r.lead == lead) {
                partRow = true;
                SetBits(bits, lead, r.from, r.to);
            }
        }
        if (!partRow)
            SetBits(bits, lead, 0x40, 0xFC);
    }
    return bits;
}

}  // namespace

// Built by the compiler: no start-up cost, and usable from the first call.
constinit const Cp932AssignedBits kCp932Assigned = MakeAssignedBits();

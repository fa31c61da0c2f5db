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

CString SjisWrapPath(const CString& path, int maxBytes)
{
    if (maxBytes < 2)
        maxBytes = 2;
    CString out;
    const int n = path.GetLength();
    int lineStart = 0;    // in path
    int lastBreak = -1;   // in path: just after the last "\" of this line
    int i = 0;
    while (i < n) {
        const int len = SjisCharLength(path, i);
        if (i + len - lineStart > maxBytes) {
            // Break after the line's last "\", else before this character.
            const int end = lastBreak > lineStart ? lastBreak : i;
            out.Append(path.GetString() + lineStart, end - lineStart);
            out += '\n';
            lineStart = end;
            lastBreak = -1;
            continue;   // measure this character again on the new line
        }
        if (len == 1 && path[i] == '\\')
            lastBreak = i + 1;
        i += len;
    }
    out.Append(path.GetString() + lineStart, n - lineStart);
    return out;
}

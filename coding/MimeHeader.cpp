// Structured header-field tokenizer and the MIME field parsers.
#include "coding/MimeHeader.h"

#include <cstring>
#include <vector>

namespace {

constexpr char kSpecials[] = "()<>@,;:\\\".[]";
constexpr char kTSpecials[] = "()<>@,;:\\\"/[]?=";

bool IsSpecial(int mode, unsigned char c)
{
    if (c == 0)
        return false;
    return std::strchr(mode == kHeaderModeRfc822 ? kSpecials : kTSpecials, c) != nullptr;
}

bool IsControl(unsigned char c)
{
    return c < 32 || c == 127;
}

bool EqualsNoCase(const CString& a, const char* b)
{
    return a.CompareNoCase(b) == 0;
}

// Reads a bracketed token body: text[pos] is just behind the opening byte.
// Answers false when the text or the buffer ends before the closing byte.
bool ReadDelimited(const CString& text, int& pos, char* buffer, int capacity, char open,
                   char close, bool nested, bool secondOpenFails)
{
    const int n = text.GetLength();
    int out = 0;
    int depth = 1;
    while (pos < n) {
        char c = text[pos++];
        if (c == '\\') {
            if (pos >= n)
                break;
            c = text[pos++];
        } else if (c == close) {
            if (--depth == 0) {
                buffer[out] = '\0';
                return true;
            }
        } else if (c == open) {
            if (secondOpenFails)
                break;
            if (nested)
                ++depth;
        }
        if (out >= capacity - 1)
            break;
        buffer[out++] = c;
    }
    buffer[out] = '\0';
    return false;
}

// Next token that is not a comment.
int NextToken(int mode, const CString& text, int& pos, char* buffer, int capacity)
{
    for (;;) {
        const int kind = NextHeaderToken(mode, text, pos, buffer, capacity);
        if (kind != kHeaderTokenComment)
            return kind;
    }
}

bool IsSpecialToken(int kind, const char* buffer, char c)
{
    return kind == kHeaderTokenSpecial && buffer[0] == c;
}

// Parses the rest of a Content-Type or Content-Disposition field: any number
// of "; name = value" and then the end of the field.
int ParseParameters(const CString& line, int pos, std::vector<char>& buf, CMimeHeaderFacts& facts,
                    bool nameTakesRawRest)
{
    char* b = buf.data();
    const int cap = static_cast<int>(buf.size());
    for (;;) {
        int kind = NextToken(kHeaderModeMime, line, pos, b, cap);
        if (kind == kHeaderTokenEnd)
            return 1;
        if (!IsSpecialToken(kind, b, ';'))
            return 0;
        if (NextToken(kHeaderModeMime, line, pos, b, cap) != kHeaderTokenAtom)
            return 0;
        CMimeParam param;
        param.m_strName = b;
        if (!IsSpecialToken(NextToken(kHeaderModeMime, line, pos, b, cap), b, '='))
            return 0;
        const int rawStart = pos;
        kind = NextToken(kHeaderModeMime, line, pos, b, cap);
        if (kind != kHeaderTokenAtom && kind != kHeaderTokenQuoted)
            return 0;
        if (nameTakesRawRest && param.m_strName.Left(4) == "name")
            param.m_strValue = line.Mid(rawStart);
        else
            param.m_strValue = b;
        facts.m_params.Append(param);
    }
}

// Position just behind the line's first ":", or -1.
int AfterColon(const CString& line)
{
    const int colon = line.Find(':');
    return colon < 0 ? -1 : colon + 1;
}

std::vector<char> TokenBuffer(const CString& line)
{
    return std::vector<char>(static_cast<size_t>(line.GetLength()) + 1);
}

}  // namespace

const CMimeParam* CMimeParamList::GetFirst()
{
    m_nCursor = 0;
    return GetNext();
}

const CMimeParam* CMimeParamList::GetNext()
{
    if (m_nCursor >= m_items.size())
        return nullptr;
    return &m_items[m_nCursor++];
}

const CMimeParam* CMimeParamList::Find(const char* name) const
{
    for (const CMimeParam& p : m_items) {
        if (EqualsNoCase(p.m_strName, name))
            return &p;
    }
    return nullptr;
}

int NextHeaderToken(int mode, const CString& text, int& pos, char* buffer, int capacity)
{
    // Below 2 bytes no token byte fits beside the NUL, and an atom would never
    // move forward.
    if (buffer == nullptr || capacity < 2) {
        if (buffer && capacity == 1)
            buffer[0] = '\0';
        return kHeaderTokenError;
    }
    const int n = text.GetLength();
    if (pos < 0)
        pos = 0;
    while (pos < n && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    buffer[0] = '\0';
    if (pos >= n)
        return kHeaderTokenEnd;

    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c == '"') {
        ++pos;
        return ReadDelimited(text, pos, buffer, capacity, '"', '"', false, false) ? kHeaderTokenQuoted
                                                                                 : kHeaderTokenError;
    }
    if (c == '[') {
        ++pos;
        return ReadDelimited(text, pos, buffer, capacity, '[', ']', false, true) ? kHeaderTokenDomain
                                                                                : kHeaderTokenError;
    }
    if (c == '(') {
        ++pos;
        return ReadDelimited(text, pos, buffer, capacity, '(', ')', true, false) ? kHeaderTokenComment
                                                                                : kHeaderTokenError;
    }
    if (IsControl(c) || IsSpecial(mode, c)) {
        buffer[0] = static_cast<char>(c);
        buffer[1] = '\0';
        ++pos;
        return IsControl(c) ? kHeaderTokenControl : kHeaderTokenSpecial;
    }
    int out = 0;
    while (pos < n && out < capacity - 1) {
        const unsigned char b = static_cast<unsigned char>(text[pos]);
        if (b == ' ' || IsControl(b) || IsSpecial(mode, b))
            break;
        buffer[out++] = static_cast<char>(b);
        ++pos;
    }
    buffer[out] = '\0';
    return kHeaderTokenAtom;
}

bool IsHeaderField(const CString& line, const char* name)
{
    const int n = static_cast<int>(std::strlen(name));
    return line.GetLength() >= n && line.Left(n).CompareNoCase(name) == 0;
}

int ParseMimeVersion(const CString& line, CMimeHeaderFacts& /*facts*/)
{
    int pos = AfterColon(line);
    if (pos < 0)
        return 0;
    std::vector<char> buf = TokenBuffer(line);
    char* b = buf.data();
    const int cap = static_cast<int>(buf.size());
    if (NextToken(kHeaderModeRfc822, line, pos, b, cap) != kHeaderTokenAtom || std::strcmp(b, "1") != 0)
        return 0;
    if (!IsSpecialToken(NextToken(kHeaderModeRfc822, line, pos, b, cap), b, '.'))
        return 0;
    if (NextToken(kHeaderModeRfc822, line, pos, b, cap) != kHeaderTokenAtom || std::strcmp(b, "0") != 0)
        return 0;
    return 1;
}

int ParseContentType(const CString& line, CMimeHeaderFacts& facts)
{
    int pos = AfterColon(line);
    if (pos < 0)
        return 0;
    std::vector<char> buf = TokenBuffer(line);
    char* b = buf.data();
    const int cap = static_cast<int>(buf.size());
    if (NextToken(kHeaderModeMime, line, pos, b, cap) != kHeaderTokenAtom)
        return 0;
    facts.m_strType = b;
    if (!IsSpecialToken(NextToken(kHeaderModeMime, line, pos, b, cap), b, '/'))
        return 0;
    if (NextToken(kHeaderModeMime, line, pos, b, cap) != kHeaderTokenAtom)
        return 0;
    facts.m_strSubtype = b;
    return ParseParameters(line, pos, buf, facts, true);
}

int ParseContentTransferEncoding(const CString& line, CMimeHeaderFacts& facts)
{
    int pos = AfterColon(line);
    if (pos < 0)
        return 0;
    std::vector<char> buf = TokenBuffer(line);
    char* b = buf.data();
    const int cap = static_cast<int>(buf.size());
    if (NextToken(kHeaderModeMime, line, pos, b, cap) != kHeaderTokenAtom)
        return 0;
    facts.m_strEncoding = b;
    return NextToken(kHeaderModeMime, line, pos, b, cap) == kHeaderTokenEnd ? 1 : 0;
}

int ParseContentDisposition(const CString& line, CMimeHeaderFacts& facts)
{
    int pos = AfterColon(line);
    if (pos < 0)
        return 0;
    std::vector<char> buf = TokenBuffer(line);
    char* b = buf.data();
    const int cap = static_cast<int>(buf.size());
    if (NextToken(kHeaderModeMime, line, pos, b, cap) != kHeaderTokenAtom)
        return 0;
    facts.m_strDisposition = b;
    return ParseParameters(line, pos, buf, facts, false);
}

int ParseContentId(const CString& line, CMimeHeaderFacts& facts)
{
    const int pos = AfterColon(line);
    if (pos < 0)
        return 0;
    const int open = line.Find('<', pos);
    const int start = open < 0 ? pos : open + 1;
    const int close = line.Find('>', start);
    facts.m_strContentId = close < 0 ? line.Mid(start) : line.Mid(start, close - start);
    return 1;
}

// Structured header-field tokenizer and the MIME field parsers.
#include "coding/MimeHeader.h"

#include <cstring>
#include <vector>

#include "framework/Sjis.h"

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

// Bytes of the character at text[pos] (pos < length): 2 for a Shift_JIS lead
// byte and a valid trail byte when walking Shift_JIS, else 1.
int CharLength(const CString& text, int pos, int walk)
{
    if (walk != kHeaderWalkSjis || pos + 1 >= text.GetLength())
        return 1;
    return IsSjisLeadByte(static_cast<BYTE>(text[pos])) && IsSjisTrailByte(static_cast<BYTE>(text[pos + 1])) ? 2
                                                                                                             : 1;
}

// Reads a bracketed token body: text[pos] is just behind the opening byte.
// Answers false when the text or the buffer ends before the closing byte.
bool ReadDelimited(const CString& text, int& pos, char* buffer, int capacity, int walk, char open, char close,
                   bool nested, bool secondOpenFails)
{
    const int n = text.GetLength();
    int out = 0;
    int depth = 1;
    while (pos < n) {
        int len = CharLength(text, pos, walk);
        if (len == 1) {
            const char c = text[pos];
            if (c == '\\') {
                if (++pos >= n)
                    break;
                len = CharLength(text, pos, walk);   // the next character, taken literally
            } else if (c == close && --depth == 0) {
                ++pos;
                buffer[out] = '\0';
                return true;
            } else if (c == open) {
                if (secondOpenFails)
                    break;
                if (nested)
                    ++depth;
            }
        }
        if (out + len > capacity - 1)
            break;
        for (; len > 0; --len)
            buffer[out++] = text[pos++];
    }
    buffer[out] = '\0';
    return false;
}

bool IsSpecialToken(int kind, const char* buffer, char c)
{
    return kind == kHeaderTokenSpecial && buffer[0] == c;
}

// Position just behind the line's first ":", or -1.
int AfterColon(const CString& line)
{
    const int colon = line.Find(':');
    return colon < 0 ? -1 : colon + 1;
}

// The tokens of one field line after its first ":", comments skipped, in a
// buffer as long as the line.
class FieldTokens {
public:
    FieldTokens(const CString& line, int mode)
        : m_line(line), m_mode(mode), m_pos(AfterColon(line)),
          m_buf(static_cast<size_t>(line.GetLength()) + 1),
          m_walk(m_pos < 0 ? kHeaderWalkBytes : HeaderTextWalkFor(line))
    {
    }
    bool HasColon() const { return m_pos >= 0; }
    int Position() const { return m_pos; }
    const char* Text() const { return m_buf.data(); }

    // Kind of the next token that is not a comment.
    int Next()
    {
        for (;;) {
            const int kind =
                NextHeaderToken(m_mode, m_line, m_pos, m_buf.data(), static_cast<int>(m_buf.size()), m_walk);
            if (kind != kHeaderTokenComment)
                return kind;
        }
    }
    bool NextIsSpecial(char c) { return IsSpecialToken(Next(), Text(), c); }
    bool NextIsAtom(const char* text = nullptr)
    {
        return Next() == kHeaderTokenAtom && (text == nullptr || std::strcmp(Text(), text) == 0);
    }

private:
    const CString& m_line;
    int m_mode;
    int m_pos;
    std::vector<char> m_buf;
    int m_walk;
};

bool IsSemicolon(int kind, const FieldTokens& tokens)
{
    return IsSpecialToken(kind, tokens.Text(), ';');
}

// Reads tokens up to and including the next ";" and answers its kind; the
// end of the field, or a token that cannot be read (an unterminated quoted
// string or comment: nothing after it can be read either), answers the end.
int SkipToSemicolon(FieldTokens& tokens)
{
    for (;;) {
        const int kind = tokens.Next();
        if (kind == kHeaderTokenEnd || kind == kHeaderTokenError)
            return kHeaderTokenEnd;
        if (IsSemicolon(kind, tokens))
            return kind;
    }
}

// The bytes of line from first up to last (not included), trailing blanks cut.
CString TrimmedRange(const CString& line, int first, int last)
{
    while (last > first && (line[last - 1] == ' ' || line[last - 1] == '\t'))
        --last;
    return line.Mid(first, last - first);
}

// Reads the parameters of a Content-Type or Content-Disposition field, kind
// being the token after the media type or disposition (the end of the field
// or a ";" in a well-formed field), and appends each one to the part's list.
// Broken parameter lists are read the way common mail readers read them, so
// that a stray byte does not cost the part its boundary or its name:
//  - an empty parameter (";;", "; ;", a trailing ";") is skipped, and so is
//    anything up to the next ";" that is not "name = value" (a name without
//    "=", an "=" without a name, a name with an empty value, stray words);
//  - a value that is more than one token or quoted string (an unquoted
//    "----=_Part_1=_x", or "a b") runs to the next ";" or the end of the
//    field, trailing blanks cut; a quoted string followed by stray bytes is
//    the quoted string;
//  - an unterminated quoted string runs to the end of the field.
// A parameter whose name begins with "name" (with case) takes the raw rest of
// the line after its "=" when nameTakesRawRest is set. Nothing here fails.
void ReadParameters(const CString& line, FieldTokens& tokens, int kind, CMimeHeaderFacts& facts,
                    bool nameTakesRawRest)
{
    const int n = line.GetLength();
    while (kind != kHeaderTokenEnd && kind != kHeaderTokenError) {
        if (!IsSemicolon(kind, tokens)) {
            kind = SkipToSemicolon(tokens);   // stray bytes
            continue;
        }
        kind = tokens.Next();
        if (kind != kHeaderTokenAtom)
            continue;   // no parameter behind this ";": the token is looked at again
        CMimeParam param;
        param.m_strName = tokens.Text();
        kind = tokens.Next();
        if (!IsSpecialToken(kind, tokens.Text(), '='))
            continue;   // a name without a value
        const int rawStart = tokens.Position();
        int valueStart = rawStart;
        while (valueStart < n && (line[valueStart] == ' ' || line[valueStart] == '\t'))
            ++valueStart;
        const int valueKind = tokens.Next();
        if (valueKind == kHeaderTokenEnd || IsSemicolon(valueKind, tokens)) {
            kind = valueKind;   // an empty value
            continue;
        }
        if (valueKind == kHeaderTokenError) {
            // An unterminated quoted string is the rest of the field; an
            // unterminated comment (nothing else fails here) ends the list.
            if (valueStart < n && line[valueStart] == '"') {
                param.m_strValue = TrimmedRange(line, valueStart + 1, n);
                facts.m_params.Append(param);
            }
            return;
        }
        param.m_strValue = tokens.Text();
        kind = tokens.Next();
        const bool single = kind == kHeaderTokenEnd || IsSemicolon(kind, tokens);
        if (!single)
            kind = SkipToSemicolon(tokens);
        if (valueKind != kHeaderTokenQuoted && (!single || valueKind != kHeaderTokenAtom)) {
            const int stop = kind == kHeaderTokenEnd ? n : tokens.Position() - 1;
            param.m_strValue = TrimmedRange(line, valueStart, stop);
        }
        if (nameTakesRawRest && param.m_strName.Left(4) == "name")
            param.m_strValue = line.Mid(rawStart);
        facts.m_params.Append(param);
    }
}

// True when text is valid UTF-8 (no overlong forms, surrogates or code points
// beyond U+10FFFF) and holds at least one byte of 128 or above.
bool IsUtf8Text(const CString& text)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.GetString());
    const int n = text.GetLength();
    bool high = false;
    for (int i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        high = true;
        int len = 0;
        unsigned char lo = 0x80;
        unsigned char hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            if (b == 0xE0)
                lo = 0xA0;
            else if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (len > n - i || p[i + 1] < lo || p[i + 1] > hi)
            return false;
        for (int k = 2; k < len; ++k) {
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return false;
        }
        i += len;
    }
    return high;
}

}  // namespace

int HeaderTextWalkFor(const CString& line)
{
    return IsUtf8Text(line) ? kHeaderWalkBytes : kHeaderWalkSjis;
}

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

int NextHeaderToken(int mode, const CString& text, int& pos, char* buffer, int capacity, int walk)
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
        return ReadDelimited(text, pos, buffer, capacity, walk, '"', '"', false, false) ? kHeaderTokenQuoted
                                                                                       : kHeaderTokenError;
    }
    if (c == '[') {
        ++pos;
        return ReadDelimited(text, pos, buffer, capacity, walk, '[', ']', false, true) ? kHeaderTokenDomain
                                                                                      : kHeaderTokenError;
    }
    if (c == '(') {
        ++pos;
        return ReadDelimited(text, pos, buffer, capacity, walk, '(', ')', true, false) ? kHeaderTokenComment
                                                                                      : kHeaderTokenError;
    }
    if (IsControl(c) || IsSpecial(mode, c)) {
        buffer[0] = static_cast<char>(c);
        buffer[1] = '\0';
        ++pos;
        return IsControl(c) ? kHeaderTokenControl : kHeaderTokenSpecial;
    }
    int out = 0;
    while (pos < n) {
        int len = CharLength(text, pos, walk);
        if (len == 1) {
            const unsigned char b = static_cast<unsigned char>(text[pos]);
            if (b == ' ' || IsControl(b) || IsSpecial(mode, b))
                break;
        }
        if (out + len > capacity - 1) {
            if (out > 0)
                break;
            len = 1;   // nothing fits beside it: one byte, so that the atom moves on
        }
        for (; len > 0; --len)
            buffer[out++] = text[pos++];
    }
    buffer[out] = '\0';
    return kHeaderTokenAtom;
}

bool IsHeaderField(const CString& line, const char* name)
{
    // The line's first strlen(name) bytes equal name, ASCII letters folded
    // (CompareNoCase on them, without making a copy).
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const std::size_t n = std::strlen(name);
    if (static_cast<std::size_t>(line.GetLength()) < n)
        return false;
    const char* text = line.GetString();
    for (std::size_t i = 0; i < n; ++i)
        if (lower(text[i]) != lower(name[i]))
            return false;
    return true;
}

int ParseMimeVersion(const CString& line, CMimeHeaderFacts& /*facts*/)
{
    FieldTokens tokens(line, kHeaderModeRfc822);
    return tokens.HasColon() && tokens.NextIsAtom("1") && tokens.NextIsSpecial('.') && tokens.NextIsAtom("0") ? 1
                                                                                                             : 0;
}

int ParseContentType(const CString& line, CMimeHeaderFacts& facts)
{
    FieldTokens tokens(line, kHeaderModeMime);
    int kind = tokens.HasColon() ? tokens.Next() : kHeaderTokenEnd;
    if (kind == kHeaderTokenAtom) {
        const CString type = tokens.Text();
        kind = tokens.Next();
        if (IsSpecialToken(kind, tokens.Text(), '/')) {
            kind = tokens.Next();
            if (kind == kHeaderTokenAtom) {
                const CString subtype = tokens.Text();
                kind = tokens.Next();
                if (kind == kHeaderTokenEnd || IsSemicolon(kind, tokens)) {
                    facts.m_strType = type;
                    facts.m_strSubtype = subtype;
                    ReadParameters(line, tokens, kind, facts, true);
                    return 1;
                }
            }
        }
    }
    // Not "type/subtype" up to the first ";" or the end (kind is the token
    // where it went wrong): text/plain (RFC 2045 5.2), so that the part is
    // read as text and never split. Parameters after a ";" are still read.
    facts.m_strType = "text";
    facts.m_strSubtype = "plain";
    ReadParameters(line, tokens, kind, facts, true);
    return 0;
}

int ParseContentTransferEncoding(const CString& line, CMimeHeaderFacts& facts)
{
    FieldTokens tokens(line, kHeaderModeMime);
    if (!tokens.HasColon() || !tokens.NextIsAtom())
        return 0;
    facts.m_strEncoding = tokens.Text();
    return tokens.Next() == kHeaderTokenEnd ? 1 : 0;
}

int ParseContentDisposition(const CString& line, CMimeHeaderFacts& facts)
{
    FieldTokens tokens(line, kHeaderModeMime);
    if (!tokens.HasColon() || !tokens.NextIsAtom())
        return 0;
    facts.m_strDisposition = tokens.Text();
    ReadParameters(line, tokens, tokens.Next(), facts, false);
    return 1;
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

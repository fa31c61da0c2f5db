// MIME header fields: the structured-field tokenizer, the field-name test, the
// parsers of MIME-Version, Content-Type, Content-Transfer-Encoding,
// Content-Disposition and Content-ID, and the parameter list they fill.
//
// Nothing is decoded here: encoded words and character sets stay as written.
// Names, media types and parameter names compare without regard to ASCII case
// unless noted.
#pragma once

#include <vector>

#include "framework/CString.h"

// One parameter of Content-Type or Content-Disposition. Both strings are
// empty when absent.
struct CMimeParam {
    CString m_strName;
    CString m_strValue;
};

// The parameters of one part, in header order, duplicates kept. Iteration is
// by a cursor kept in the list: GetFirst, then GetNext until null.
class CMimeParamList {
public:
    void Append(const CMimeParam& param) { m_items.push_back(param); }
    int GetCount() const { return static_cast<int>(m_items.size()); }
    const CMimeParam& GetAt(int index) const { return m_items.at(static_cast<size_t>(index)); }
    void RemoveAll() { m_items.clear(); m_nCursor = 0; }

    // First parameter (or null); moves the cursor behind it.
    const CMimeParam* GetFirst();
    // Parameter after the last one answered (or null).
    const CMimeParam* GetNext();
    // First parameter whose name equals name without regard to case, or null.
    const CMimeParam* Find(const char* name) const;

private:
    std::vector<CMimeParam> m_items;
    size_t m_nCursor = 0;
};

// The facts that a part's header gives. A new part has none of them (empty
// strings) and an empty parameter list; strings are kept as written.
struct CMimeHeaderFacts {
    CString m_strType;          // media type, e.g. "text", "multipart"
    CString m_strSubtype;       // e.g. "plain"
    CMimeParamList m_params;    // Content-Type and Content-Disposition parameters
    CString m_strEncoding;      // transfer encoding
    CString m_strDisposition;   // disposition type
    CString m_strContentId;     // Content-ID without its angle brackets
};

// Token kinds of NextHeaderToken.
enum HeaderTokenKind {
    kHeaderTokenError = -1,    // unterminated quoted string, domain literal or comment
    kHeaderTokenEnd = 0,       // end of the text; empty token
    kHeaderTokenAtom = 1,      // atom (mode 0) or token (mode 1)
    kHeaderTokenQuoted = 2,    // quoted string, without quotes, escapes resolved
    kHeaderTokenDomain = 3,    // domain literal, without brackets
    kHeaderTokenComment = 4,   // comment, without its outer parentheses
    kHeaderTokenControl = 5,   // one control byte (0 to 31, or 127)
    kHeaderTokenSpecial = 6,   // one special (mode 0) or tspecial (mode 1)
};

// Tokenizer modes.
constexpr int kHeaderModeRfc822 = 0;   // specials ()<>@,;:\".[]
constexpr int kHeaderModeMime = 1;     // tspecials ()<>@,;:\"/[]?=

// How the tokenizer walks the bytes of a field line.
enum HeaderTextWalk {
    // Byte by byte: ASCII, ISO-2022-JP and UTF-8 (which never holds an ASCII
    // byte inside a character).
    kHeaderWalkBytes = 0,
    // A Shift_JIS lead byte and a valid trail byte are one character inside
    // atoms, quoted strings, comments and domain literals, so that a trail
    // byte such as 0x5C or 0x40 is neither a quoting backslash nor a special.
    kHeaderWalkSjis = 1,
};

// The walk for one field line: byte by byte when the line is valid UTF-8
// holding bytes of 128 or above, else Shift_JIS (ASCII and 7-bit text read
// the same either way).
int HeaderTextWalkFor(const CString& line);

// Reads the token that starts at text[pos] (spaces and tabs skipped first),
// writes it NUL-terminated into buffer (at most capacity - 1 bytes), moves pos
// behind it and answers its kind. An atom stops early when the buffer is full
// (before a double-byte character that would not fit, unless the atom would
// be empty: with a capacity of 2 such a character is split); a quoted string,
// domain literal or comment that does not fit is an error. A backslash takes
// the following character literally. A capacity below 2 is an error (nothing
// would fit beside the NUL).
int NextHeaderToken(int mode, const CString& text, int& pos, char* buffer, int capacity, int walk);

// True when the line's first bytes equal name without regard to case (a
// prefix test: the colon is not looked at).
bool IsHeaderField(const CString& line, const char* name);

// Field parsers: each takes one whole unfolded field line and fills facts,
// walking it as HeaderTextWalkFor says (raw Shift_JIS file names were common
// in Japanese mail). They answer 1 on success and 0 on failure; what they stored before failing
// stays stored. Each begins after the line's first ":" (none: failure).
//
// The parameters of Content-Type and Content-Disposition never fail the
// field: they are read as lenient mail readers read them (empty parameters
// and stray bytes up to the next ";" skipped; an unquoted value holding a
// tspecial or a blank runs to the next ";", trailing blanks cut; an
// unterminated quoted string runs to the end of the field).
int ParseMimeVersion(const CString& line, CMimeHeaderFacts& facts);   // "1.0" only
// 0 when the media type is not "type/subtype" up to the first ";" or the
// end of the field (or there is no ":"): facts then say text/plain (RFC 2045
// 5.2), with the parameters that follow a ";".
int ParseContentType(const CString& line, CMimeHeaderFacts& facts);
int ParseContentTransferEncoding(const CString& line, CMimeHeaderFacts& facts);
// 0 only without a disposition type.
int ParseContentDisposition(const CString& line, CMimeHeaderFacts& facts);
int ParseContentId(const CString& line, CMimeHeaderFacts& facts);

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

// Reads the token that starts at text[pos] (spaces and tabs skipped first),
// writes it NUL-terminated into buffer (at most capacity - 1 bytes), moves pos
// behind it and answers its kind. An atom stops early when the buffer is full;
// a quoted string, domain literal or comment that does not fit is an error.
// A capacity below 2 is an error (nothing would fit beside the NUL).
int NextHeaderToken(int mode, const CString& text, int& pos, char* buffer, int capacity);

// True when the line's first bytes equal name without regard to case (a
// prefix test: the colon is not looked at).
bool IsHeaderField(const CString& line, const char* name);

// Field parsers: each takes one whole unfolded field line and fills facts.
// They answer 1 on success and 0 on failure; what they stored before failing
// stays stored. Each begins after the line's first ":" (none: failure).
int ParseMimeVersion(const CString& line, CMimeHeaderFacts& facts);   // "1.0" only
int ParseContentType(const CString& line, CMimeHeaderFacts& facts);
int ParseContentTransferEncoding(const CString& line, CMimeHeaderFacts& facts);
int ParseContentDisposition(const CString& line, CMimeHeaderFacts& facts);
int ParseContentId(const CString& line, CMimeHeaderFacts& facts);

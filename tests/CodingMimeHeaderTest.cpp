// Header-field tokenizer and the MIME field parsers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "coding/MimeHeader.h"

namespace {

struct Tok {
    int kind;
    std::string text;
    bool operator==(const Tok& o) const { return kind == o.kind && text == o.text; }
};

std::ostream& operator<<(std::ostream& os, const Tok& t)
{
    return os << t.kind << ":" << t.text;
}

std::vector<Tok> Tokens(int mode, const std::string& text, int capacity = 64, int walk = kHeaderWalkSjis)
{
    CString s(text);
    std::vector<char> buf(static_cast<size_t>(capacity) + 1, 'x');
    std::vector<Tok> out;
    int pos = 0;
    for (int guard = 0; guard < 50; ++guard) {
        const int kind = NextHeaderToken(mode, s, pos, buf.data(), capacity, walk);
        EXPECT_EQ(buf[static_cast<size_t>(capacity)], 'x') << "wrote past the capacity";
        out.push_back({kind, kind == kHeaderTokenError ? "" : std::string(buf.data())});
        if (kind == kHeaderTokenEnd || kind == kHeaderTokenError)
            break;
    }
    return out;
}

std::string Params(CMimeHeaderFacts& f)
{
    std::string out;
    for (const CMimeParam* p = f.m_params.GetFirst(); p; p = f.m_params.GetNext())
        out += "[" + p->m_strName.Str() + "=" + p->m_strValue.Str() + "]";
    return out;
}

constexpr int A = kHeaderTokenAtom, Q = kHeaderTokenQuoted, D = kHeaderTokenDomain,
              C = kHeaderTokenComment, K = kHeaderTokenControl, S = kHeaderTokenSpecial,
              E = kHeaderTokenEnd, X = kHeaderTokenError;

}  // namespace

TEST(CodingMimeHeaderTest, Tokenizer)
{
    struct Case {
        int mode;
        std::string in;
        std::vector<Tok> want;
        int capacity = 64;
        int walk = kHeaderWalkSjis;
    } cases[] = {
        {0, " \t1.0", {{A, "1"}, {S, "."}, {A, "0"}, {E, ""}}},
        {1, "1.0", {{A, "1.0"}, {E, ""}}},                       // "." is no tspecial
        {1, "text/plain;a=b", {{A, "text"}, {S, "/"}, {A, "plain"}, {S, ";"}, {A, "a"}, {S, "="}, {A, "b"}, {E, ""}}},
        {0, "a/b=c?", {{A, "a/b=c?"}, {E, ""}}},                 // no specials in mode 0
        {1, "\"a\\\"b c\"x", {{Q, "a\"b c"}, {A, "x"}, {E, ""}}},
        {1, "\"open", {{X, ""}}},
        {1, "\"ends in backslash\\", {{X, ""}}},
        {0, "[1.2\\]3]", {{D, "1.2]3"}, {E, ""}}},
        {0, "[a[b]", {{X, ""}}},
        {0, "[a", {{X, ""}}},
        {1, "(a (b) \\) c)d", {{C, "a (b) ) c"}, {A, "d"}, {E, ""}}},
        {1, "(a (b)", {{X, ""}}},
        {1, "a\rb\x7f", {{A, "a"}, {K, "\r"}, {A, "b"}, {K, "\x7f"}, {E, ""}}},
        {1, "ｶﾀｶﾅ=x", {{A, "ｶﾀｶﾅ"}, {S, "="}, {A, "x"}, {E, ""}}},   // 8-bit bytes in tokens
        {1, std::string("a\0b", 3), {{A, "a"}, {K, ""}, {A, "b"}, {E, ""}}},
        {1, "abcdef", {{A, "abc"}, {A, "def"}, {E, ""}}, 4},     // atoms split at the capacity
        {1, "\"abc\"", {{Q, "abc"}, {E, ""}}, 4},
        {1, "\"abcd\"", {{X, ""}}, 4},                            // quoted string must fit
        {1, "(abcd)", {{X, ""}}, 4},
        {1, "", {{E, ""}}},
        // Shift_JIS: a trail byte 0x5C, 0x40, 0x5B or 0x5D belongs to its
        // character (予 97 5C, ァ 83 40, ー 81 5B, ソ 83 5C); byte by byte it
        // would quote, be a special or open a second bracket.
        {1, "\"予定表\"", {{Q, "予定表"}, {E, ""}}},
        {1, "\"予定表\"", {{X, ""}}, 64, kHeaderWalkBytes},
        {1, "予定表;x", {{A, "予定表"}, {S, ";"}, {A, "x"}, {E, ""}}},
        {0, "ァ@x", {{A, "ァ"}, {S, "@"}, {A, "x"}, {E, ""}}},
        {0, "ァ@x", {{A, "\x83"}, {S, "@"}, {S, "@"}, {A, "x"}, {E, ""}}, 64, kHeaderWalkBytes},
        {0, "[ー]", {{D, "ー"}, {E, ""}}},
        {0, "[ー]", {{X, ""}}, 64, kHeaderWalkBytes},
        {1, "(ソ)x", {{C, "ソ"}, {A, "x"}, {E, ""}}},
        {1, "\"\\予\"", {{Q, "予"}, {E, ""}}},                  // an escaped character is taken whole
        {1, "\"\x81\"x", {{Q, "\x81"}, {A, "x"}, {E, ""}}},     // no trail byte: the lead byte alone
        {1, "a\x81", {{A, "a\x81"}, {E, ""}}},                    // a lead byte at the end
        {1, "予定", {{A, "予"}, {A, "定"}, {E, ""}}, 4},              // atoms split between characters
        {1, "予", {{A, "\x97"}, {S, "\\"}, {E, ""}}, 2},            // ... or, with room for one byte, inside
        {1, "\"予定\"", {{X, ""}}, 4},
        // ISO-2022-JP is 7-bit: walked as before, its 0x5C quoting the next byte.
        {1, "\"\x1b$BK\\J8\x1b(B\"", {{Q, "\x1b$BKJ8\x1b(B"}, {E, ""}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Tokens(c.mode, c.in, c.capacity, c.walk), c.want) << c.in;

    char b[4] = "zz";
    int pos = 0;
    EXPECT_EQ(NextHeaderToken(1, CString("a"), pos, b, 0, kHeaderWalkSjis), kHeaderTokenError);
    EXPECT_EQ(b[0], 'z');
    EXPECT_EQ(NextHeaderToken(1, CString("a"), pos, b, 1, kHeaderWalkSjis), kHeaderTokenError);   // would never advance
    EXPECT_EQ(NextHeaderToken(1, CString(";"), pos, b, 2, kHeaderWalkSjis), kHeaderTokenSpecial);
    EXPECT_EQ(pos, 1);
}

TEST(CodingMimeHeaderTest, FieldNameIsAPrefixTestWithoutCase)
{
    EXPECT_TRUE(IsHeaderField("content-type: text/plain", "Content-Type"));
    EXPECT_TRUE(IsHeaderField("Content-Typeabc: x", "Content-Type"));
    EXPECT_TRUE(IsHeaderField("CONTENT-ID", "Content-ID"));
    EXPECT_FALSE(IsHeaderField("Content-Typ", "Content-Type"));
    EXPECT_FALSE(IsHeaderField(" Content-Type: a/b", "Content-Type"));
    EXPECT_FALSE(IsHeaderField("表ontent-Type: a/b", "Content-Type"));
}

TEST(CodingMimeHeaderTest, FieldParsers)
{
    using Parser = int (*)(const CString&, CMimeHeaderFacts&);
    struct Case {
        Parser parse;
        std::string line;
        int result;
        std::string type = "", subtype = "", params = "", encoding = "", disposition = "";
    } cases[] = {
        {ParseMimeVersion, "MIME-Version: 1.0", 1},
        {ParseMimeVersion, "MIME-Version: 1.0 (produced by x)", 1},
        {ParseMimeVersion, "MIME-Version: (c) 1 . (d) 0 trailing", 1},
        {ParseMimeVersion, "MIME-Version: 1.1", 0},
        {ParseMimeVersion, "MIME-Version: 2.0", 0},
        {ParseMimeVersion, "MIME-Version 1.0", 0},                  // no colon
        {ParseMimeVersion, "MIME-Version: 1.0(open", 1},            // rest not examined
        {ParseContentType, "Content-Type: text/plain", 1, "text", "plain"},
        {ParseContentType, "Content-Type: TEXT/Plain (c)", 1, "TEXT", "Plain"},
        {ParseContentType, "Content-Type: text/plain; charset=\"iso-2022-jp\"", 1, "text", "plain",
         "[charset=iso-2022-jp]"},
        {ParseContentType, "Content-Type: multipart/mixed;\tboundary=\"=_b\"; a=1; a=2", 1, "multipart",
         "mixed", "[boundary==_b][a=1][a=2]"},
        {ParseContentType, "Content-Type: application/octet-stream; name=\"a b.txt\"; x=\"y\"", 1,
         "application", "octet-stream", "[name=\"a b.txt\"; x=\"y\"][x=y]"},
        {ParseContentType, "Content-Type: a/b; names=q", 1, "a", "b", "[names=q]"},
        {ParseContentType, "Content-Type: a/b; Name=\"q\"", 1, "a", "b", "[Name=q]"},   // with case
        {ParseContentType, "Content-Type: a/b; name= q", 1, "a", "b", "[name= q]"},
        {ParseContentType, "Content-Type: a/b; name=a b; c=d", 1, "a", "b", "[name=a b; c=d][c=d]"},
        {ParseContentType, "Content-Typeabc: a/b", 1, "a", "b"},
        {ParseContentType, "Content-Type: ｶﾅ/ﾃｷ", 1, "ｶﾅ", "ﾃｷ"},
        // Broken parameter lists, read as lenient mail readers read them.
        {ParseContentType, "Content-Type: text/plain; charset=iso-2022-jp;", 1, "text", "plain",
         "[charset=iso-2022-jp]"},
        {ParseContentType, "Content-Type: multipart/mixed;; boundary=\"x\"", 1, "multipart", "mixed", "[boundary=x]"},
        {ParseContentType, "Content-Type: multipart/mixed; ; boundary=\"x\"; ;", 1, "multipart", "mixed",
         "[boundary=x]"},
        {ParseContentType, "Content-Type: multipart/mixed; boundary=----=_Part_1=_abc", 1, "multipart", "mixed",
         "[boundary=----=_Part_1=_abc]"},
        {ParseContentType, "Content-Type: multipart/mixed; boundary=----=_Part_1=_abc \t; charset=x", 1,
         "multipart", "mixed", "[boundary=----=_Part_1=_abc][charset=x]"},
        {ParseContentType, "Content-Type: multipart/mixed; boundary==_a/b?c=", 1, "multipart", "mixed",
         "[boundary==_a/b?c=]"},
        {ParseContentType, "Content-Type: multipart/mixed; boundary=x (c)", 1, "multipart", "mixed", "[boundary=x]"},
        {ParseContentType, "Content-Type: text/plain; charset= iso 2022 ; a=1", 1, "text", "plain",
         "[charset=iso 2022][a=1]"},
        {ParseContentType, "Content-Type: a/b; c=\"x\"y; d=[e]", 1, "a", "b", "[c=x][d=[e]]"},
        {ParseContentType, "Content-Type: a/b; x=予=定; y=ソ", 1, "a", "b", "[x=予=定][y=ソ]"},
        {ParseContentType, "Content-Type: text/plain; =x; a; b=; c=1", 1, "text", "plain", "[c=1]"},
        {ParseContentType, "Content-Type: text/plain; a=\"x; b=y ", 1, "text", "plain", "[a=x; b=y]"},
        {ParseContentType, "Content-Type: text/plain; a=(x; b=y", 1, "text", "plain"},
        {ParseContentType, "Content-Type: text/plain; a=x (y", 1, "text", "plain", "[a=x (y]"},
        {ParseContentType, "Content-Type: multipart/mixed;\r\n\tboundary=\"=_b\"", 1, "multipart", "mixed"},
        // Not "type/subtype": text/plain, parameters still read.
        {ParseContentType, "Content-Type: text", 0, "text", "plain"},
        {ParseContentType, "Content-Type: multipart; boundary=x", 0, "text", "plain", "[boundary=x]"},
        {ParseContentType, "Content-Type: multipart/; boundary=x", 0, "text", "plain", "[boundary=x]"},
        {ParseContentType, "Content-Type: /mixed", 0, "text", "plain"},
        {ParseContentType, "Content-Type: multipart/mixed/x; boundary=x", 0, "text", "plain", "[boundary=x]"},
        {ParseContentType, "Content-Type: multipart/mixed junk; boundary=x", 0, "text", "plain", "[boundary=x]"},
        {ParseContentType, "Content-Type: multipart mixed", 0, "text", "plain"},
        {ParseContentType, "Content-Type: \"multipart/mixed\"; a=1", 0, "text", "plain", "[a=1]"},
        {ParseContentType, "Content-Type: garbage!!", 0, "text", "plain"},
        {ParseContentType, "Content-Type: (open", 0, "text", "plain"},
        {ParseContentType, "Content-Type:", 0, "text", "plain"},
        {ParseContentType, "Content-Type multipart/mixed", 0, "text", "plain"},
        {ParseContentTransferEncoding, "Content-Transfer-Encoding: 7bit (plain)", 1, "", "", "", "7bit"},
        {ParseContentTransferEncoding, "Content-Transfer-Encoding: BASE64", 1, "", "", "", "BASE64"},
        {ParseContentTransferEncoding, "Content-Transfer-Encoding: 7bit 8bit", 0, "", "", "", "7bit"},
        {ParseContentTransferEncoding, "Content-Transfer-Encoding:", 0},
        {ParseContentDisposition, "Content-Disposition: attachment; filename=\"a b\"", 1, "", "",
         "[filename=a b]", "", "attachment"},
        {ParseContentDisposition, "Content-Disposition: inline; name=\"a\"; x=1", 1, "", "",
         "[name=a][x=1]", "", "inline"},
        {ParseContentDisposition, "Content-Disposition: inline;", 1, "", "", "", "", "inline"},
        {ParseContentDisposition, "Content-Disposition: attachment; filename=a b.txt ;; size=1", 1, "", "",
         "[filename=a b.txt][size=1]", "", "attachment"},
        {ParseContentDisposition, "Content-Disposition: attachment filename=x; size=1", 1, "", "", "[size=1]", "",
         "attachment"},
        {ParseContentDisposition, "Content-Disposition: ; filename=x", 0},
        // Raw Shift_JIS file names; UTF-8 and ISO-2022-JP ones read as before.
        {ParseContentDisposition, "Content-Disposition: attachment; filename=\"予定表\"", 1, "", "",
         "[filename=予定表]", "", "attachment"},
        {ParseContentDisposition, "Content-Disposition: attachment; filename=予定表.xls", 1, "", "",
         "[filename=予定表.xls]", "", "attachment"},
        {ParseContentType, "Content-Type: application/octet-stream; name=\"予定表\"; x=ソ", 1, "application",
         "octet-stream", "[name=\"予定表\"; x=ソ][x=ソ]"},
        {ParseContentDisposition, "Content-Disposition: attachment; filename=\"\xE4\xBA\x88\xE5\xAE\x9A\"", 1, "",
         "", "[filename=\xE4\xBA\x88\xE5\xAE\x9A]", "", "attachment"},
        // UTF-8 ending in a byte that looks like a Shift_JIS lead byte: the
        // backslash after it still quotes.
        {ParseContentDisposition, "Content-Disposition: a; filename=\"\xE4\xBA\x88\\\"q\"", 1, "", "",
         "[filename=\xE4\xBA\x88\"q]", "", "a"},
        {ParseContentDisposition, "Content-Disposition: a; filename=\"\x1b$BK\\J8\x1b(B\"", 1, "", "",
         "[filename=\x1b$BKJ8\x1b(B]", "", "a"},
    };
    for (const Case& c : cases) {
        CMimeHeaderFacts f;
        EXPECT_EQ(c.parse(CString(c.line), f), c.result) << c.line;
        EXPECT_EQ(f.m_strType.Str(), c.type) << c.line;
        EXPECT_EQ(f.m_strSubtype.Str(), c.subtype) << c.line;
        EXPECT_EQ(Params(f), c.params) << c.line;
        EXPECT_EQ(f.m_strEncoding.Str(), c.encoding) << c.line;
        EXPECT_EQ(f.m_strDisposition.Str(), c.disposition) << c.line;
    }
}

TEST(CodingMimeHeaderTest, ShiftJisIsWalkedUnlessTheLineIsUtf8)
{
    struct Case {
        std::string line;
        int walk;
    } cases[] = {
        {"Content-Type: text/plain", kHeaderWalkSjis},
        {"filename=\"予定表\"", kHeaderWalkSjis},
        {"filename=\"\xE4\xBA\x88\xE5\xAE\x9A\xF0\x9F\x98\x80\xC3\xA9\"", kHeaderWalkBytes},
        {"\xC0\x80", kHeaderWalkSjis},            // overlong
        {"\xE0\x9F\xBF", kHeaderWalkSjis},       // overlong
        {"\xED\xA0\x80", kHeaderWalkSjis},       // surrogate
        {"\xF4\x90\x80\x80", kHeaderWalkSjis},  // beyond U+10FFFF
        {"a\xE4\xBA", kHeaderWalkSjis},           // cut short
        {"\xE4\xBA\x88\x81", kHeaderWalkSjis},  // a lone continuation byte
    };
    for (const Case& c : cases)
        EXPECT_EQ(HeaderTextWalkFor(CString(c.line)), c.walk) << c.line;
}

TEST(CodingMimeHeaderTest, ContentId)
{
    struct Case {
        std::string line;
        int result;
        std::string id;
    } cases[] = {
        {"Content-ID: <abc@host>", 1, "abc@host"},
        {"Content-ID: abc@host", 1, " abc@host"},     // no "<": from the byte after ":"
        {"Content-ID: <abc", 1, "abc"},
        {"Content-ID:abc>x", 1, "abc"},
        {"Content-ID: x<a:b>y", 1, "a:b"},
        {"Content-ID <abc>", 0, "unchanged"},
    };
    for (const Case& c : cases) {
        CMimeHeaderFacts f;
        f.m_strContentId = "unchanged";
        EXPECT_EQ(ParseContentId(CString(c.line), f), c.result) << c.line;
        EXPECT_EQ(f.m_strContentId.Str(), c.id) << c.line;
    }
}

TEST(CodingMimeHeaderTest, ParameterListKeepsOrderAndDuplicates)
{
    CMimeParamList list;
    EXPECT_EQ(list.GetFirst(), nullptr);
    list.Append({"Boundary", "x"});
    list.Append({"boundary", "y"});
    list.Append({"a", ""});
    EXPECT_EQ(list.GetCount(), 3);
    ASSERT_NE(list.Find("BOUNDARY"), nullptr);
    EXPECT_EQ(list.Find("BOUNDARY")->m_strValue, "x");
    EXPECT_EQ(list.Find("none"), nullptr);
    std::string seen;
    for (const CMimeParam* p = list.GetFirst(); p; p = list.GetNext())
        seen += p->m_strValue.Str() + ",";
    EXPECT_EQ(seen, "x,y,,");
    EXPECT_EQ(list.GetNext(), nullptr);
}

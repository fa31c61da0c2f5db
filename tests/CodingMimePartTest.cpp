// MIME part tree: header reading, multipart splitting and body lines, from a
// file and from memory, also with the reader's 1024-byte window boundary at
// every interesting byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "coding/MimePart.h"
#include "tests/TestSupport.h"

namespace {

const char* const kPath = "C:\\msg.eml";

std::string Or(const CString& s)
{
    return s.IsEmpty() ? "-" : s.Str();
}

void DumpPart(CMimePart* p, int depth, std::string& out)
{
    for (; p; p = p->GetNextSibling()) {
        out += std::to_string(depth) + " " + Or(p->m_strType) + "/" + Or(p->m_strSubtype) + " " +
               Or(p->m_strEncoding) + " " + std::to_string(p->m_nStart) + "-" + std::to_string(p->m_nEnd) + "\n";
        DumpPart(p->GetFirstChild(), depth + 1, out);
    }
}

std::vector<std::string> Lines(CMimePart* part, int capacity = 4096)
{
    std::vector<std::string> lines;
    if (!part || !part->Open())
        return {"<cannot open>"};
    std::vector<char> buf(static_cast<size_t>(capacity));
    for (int n = part->ReadFirstLine(buf.data(), capacity); n >= 0; n = part->ReadLine(buf.data(), capacity))
        lines.emplace_back(buf.data(), static_cast<size_t>(n));
    return lines;
}

struct Parsed {
    int result = 0;
    std::string tree;
    std::vector<std::string> leaf;   // the first leaf's raw lines
};

Parsed ParseWith(CMimeMessage& msg, int result)
{
    Parsed p;
    p.result = result;
    DumpPart(msg.GetRoot(), 0, p.tree);
    if (p.result)
        p.leaf = Lines(msg.FirstLeaf());
    return p;
}

// Parses the message from a file, from memory as one window and from memory
// in 1024-byte windows; all three must give the same.
Parsed ParseText(TempMachine& tm, const std::string& message)
{
    tm.WriteFile(kPath, message);
    CMimeMessage fromFile;
    const Parsed p = ParseWith(fromFile, fromFile.Parse(kPath));
    for (bool windowed : {false, true}) {
        CMimeMessage fromMemory;
        const Parsed m = ParseWith(fromMemory, fromMemory.ParseSource(CMimeSource::Memory(message.data(), message.size(), windowed)));
        EXPECT_EQ(m.result, p.result) << windowed;
        EXPECT_EQ(m.tree, p.tree) << windowed;
        EXPECT_EQ(m.leaf, p.leaf) << windowed;
    }
    return p;
}

// Shifts every offset in a dump by delta (for the window-boundary sweep).
std::string Shift(const std::string& tree, int delta)
{
    std::string out;
    size_t pos = 0;
    while (pos < tree.size()) {
        size_t nl = tree.find('\n', pos);
        std::string line = tree.substr(pos, nl - pos);
        size_t sp = line.rfind(' ');
        size_t dash = line.find('-', sp);
        int a = std::stoi(line.substr(sp + 1, dash - sp - 1));
        int b = std::stoi(line.substr(dash + 1));
        out += line.substr(0, sp + 1) + std::to_string(a == 0 ? 0 : a + delta) + "-" + std::to_string(b + delta) + "\n";
        pos = nl + 1;
    }
    return out;
}

const std::string kMixed =
    "From: a@example.jp\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed;\r\n"
    "\tboundary=\"XyZ\"\r\n"
    "\r\n"
    "preamble\r\n"
    "--XyZ\r\n"
    "Content-Type: text/plain; charset=iso-2022-jp\r\n"
    "\r\n"
    "line 1\r\n"
    "line 2\r\n"
    "--XyZ\r\n"
    "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "QUJD\r\n"
    "--XyZ--\r\n"
    "epilogue\r\n";

}  // namespace

TEST(CodingMimePartTest, SinglePartDefaultsAndTypes)
{
    TempMachine tm;
    struct Case {
        const char* what;
        std::string message;
        std::string tree;
    } cases[] = {
        {"no header lines", "\r\nbody\r\n", "0 text/plain 7bit 0-8\n"},
        {"no Content-Type", "Subject: x\r\n\r\nb", "0 text/plain 7bit 0-15\n"},
        {"no empty line", "Subject: x\r\nX: y\r\n", "0 text/plain 7bit 0-18\n"},
        {"empty file", "", "0 text/plain 7bit 0-0\n"},
        {"types kept as written", "Content-Type: TEXT/HTML\r\nContent-Transfer-Encoding: Base64\r\n\r\n",
         "0 TEXT/HTML Base64 0-62\n"},
        {"MIME-Version 1.1 ends the header, no defaults",
         "MIME-Version: 1.1\r\nContent-Type: text/html\r\n\r\nb\r\n", "0 -/- - 0-49\n"},
        {"trailing semicolon: the header goes on",
         "Content-Type: text/plain; charset=x;\r\nContent-Transfer-Encoding: base64\r\n\r\n",
         "0 text/plain base64 0-75\n"},
        {"the first Content-Type counts", "Content-Type: a/b\r\nContent-Type: c/d\r\n\r\n", "0 a/b 7bit 0-40\n"},
        {"the first counts when it is invalid", "Content-Type: text\r\nContent-Type: c/d\r\n\r\n",
         "0 text/plain 7bit 0-41\n"},
        {"a multipart after a text Content-Type is not split",
         "Content-Type: text/html\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nx\r\n--b--\r\n",
         "0 text/html 7bit 0-87\n"},
        {"type without subtype: text/plain, never split, the header goes on",
         "Content-Type: multipart; boundary=b\r\nContent-Transfer-Encoding: base64\r\n\r\n--b\r\n\r\nx\r\n--b--\r\n",
         "0 text/plain base64 0-91\n"},
        {"garbage Content-Type", "Content-Type: ===\r\n\r\n", "0 text/plain 7bit 0-21\n"},
        {"bare LF: one field, its LF no end of the media type", "Content-Type: text/html\nX: y\n\nbody\n",
         "0 text/plain 7bit 0-35\n"},
        {"bare LF, other first line", "Subject: s\nContent-Type: text/html\n\n", "0 text/plain 7bit 0-36\n"},
        {"folded with a space", "Content-Type: text/html;\r\n charset=x\r\n\r\n", "0 text/html 7bit 0-40\n"},
        {"multipart without boundary fails", "Content-Type: multipart/mixed\r\n\r\n--b\r\n", "0 multipart/mixed 7bit 0-38\n"},
        {"raw Shift_JIS file name before Content-Type",
         "Content-Disposition: attachment; filename=\"予定表\"\r\nContent-Type: text/html\r\n\r\n",
         "0 text/html 7bit 0-79\n"},
        {"the first Content-Transfer-Encoding counts",
         "Content-Transfer-Encoding: base64\r\nContent-Transfer-Encoding: 7bit\r\n\r\n", "0 text/plain base64 0-70\n"},
    };
    for (const Case& c : cases) {
        Parsed p = ParseText(tm, c.message);
        EXPECT_EQ(p.tree, c.tree) << c.what;
    }
    EXPECT_EQ(ParseText(tm, cases[15].message).result, 0);
    EXPECT_EQ(ParseText(tm, cases[5].message).result, 1);   // a failed header does not fail the parse
}

TEST(CodingMimePartTest, HeaderFieldsUnfoldAndTrim)
{
    TempMachine tm;
    tm.WriteFile(kPath, "A: 1 \t\r\n  2\r\n\tthree\r\nB: x\ry\r\n\r\nC: no\r\n");
    CMimePart part(nullptr, kPath, 0, -1);
    ASSERT_EQ(part.Open(), 1);
    part.m_nEnd = 40;
    part.m_nCursor = 0;
    CString f;
    ASSERT_TRUE(part.ReadHeaderField(f));
    EXPECT_EQ(f, "A: 1 \t  2\tthree");
    ASSERT_TRUE(part.ReadHeaderField(f));
    EXPECT_EQ(f, "B: x\ry");
    ASSERT_TRUE(part.ReadHeaderField(f));
    EXPECT_EQ(f, "");
    EXPECT_EQ(part.m_nCursor, 31);
}

TEST(CodingMimePartTest, MixedMessage)
{
    TempMachine tm;
    Parsed p = ParseText(tm, kMixed);
    ASSERT_EQ(p.result, 1);
    const int text = static_cast<int>(kMixed.find("Content-Type: text/plain"));
    const int textEnd = static_cast<int>(kMixed.find("\r\n--XyZ\r\nContent-Type: app"));
    const int bin = static_cast<int>(kMixed.find("Content-Type: application"));
    const int binEnd = static_cast<int>(kMixed.find("\r\n--XyZ--"));
    EXPECT_EQ(p.tree, "0 multipart/mixed 7bit 0-" + std::to_string(kMixed.size()) + "\n" +
                          "1 text/plain 7bit " + std::to_string(text) + "-" + std::to_string(textEnd) + "\n" +
                          "1 application/octet-stream base64 " + std::to_string(bin) + "-" + std::to_string(binEnd) + "\n");
    // The last body line comes without the CR LF in front of the delimiter.
    EXPECT_EQ(p.leaf, (std::vector<std::string>{"Content-Type: text/plain; charset=iso-2022-jp\r\n", "\r\n",
                                                "line 1\r\n", "line 2"}));
}

TEST(CodingMimePartTest, MultipartShapes)
{
    TempMachine tm;
    struct Case {
        const char* what;
        std::string message;
        int result;
        std::vector<std::string> leaf;
    } cases[] = {
        {"delimiter right after the header's empty line",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nfirst\r\n--b--\r\n", 1, {"\r\n", "first"}},
        {"nested alternative inside mixed",
         "Content-Type: multipart/mixed; boundary=o\r\n\r\n--o\r\n"
         "Content-Type: multipart/alternative; boundary=i\r\n\r\n--i\r\n\r\nplain\r\n--i\r\n"
         "Content-Type: text/html\r\n\r\n<p>\r\n--i--\r\n--o\r\n\r\natt\r\n--o--\r\n",
         1, {"\r\n", "plain"}},
        {"missing closing delimiter fails",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\na\r\n--b\r\n\r\nb\r\n", 0, {}},
        {"last delimiter line ends at the end of the file",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\na\r\n--b", 1, {"\r\n", "a"}},
        {"last delimiter line with its CR LF at the end of the file",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\na\r\n--b\r\n", 1, {"\r\n", "a"}},
        {"only a closing delimiter fails", "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b--\r\n", 0, {}},
        {"delimiter with trailing blanks",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b  \t\r\n\r\nx\r\n--b-- \r\n", 1, {"\r\n", "x"}},
        {"boundary as the start of a longer word is body text",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nx\r\n--bcd\r\n\r\ny\r\n--b--\r\n", 1,
         {"\r\n", "x\r\n", "--bcd\r\n", "\r\n", "y"}},
        {"inner boundary that begins with the outer one",
         "Content-Type: multipart/related; boundary=\"----=_NextPart_715392540==_\"\r\n\r\n"
         "------=_NextPart_715392540==_\r\n"
         "Content-Type: multipart/alternative; boundary=\"----=_NextPart_715392540==_.REL\"\r\n\r\n"
         "------=_NextPart_715392540==_.REL\r\n\r\nplain\r\n"
         "------=_NextPart_715392540==_.REL\r\nContent-Type: text/html\r\n\r\n<p>\r\n"
         "------=_NextPart_715392540==_.REL--\r\n\r\n"
         "------=_NextPart_715392540==_\r\n\r\nimage\r\n------=_NextPart_715392540==_--\r\n",
         1, {"\r\n", "plain"}},
        {"unquoted boundary holding \"=\", after an empty parameter",
         "Content-Type: multipart/mixed;;\r\n boundary=----=_Part_1=_abc\r\n\r\n------=_Part_1=_abc\r\n\r\nx\r\n"
         "------=_Part_1=_abc--\r\n", 1, {"\r\n", "x"}},
        {"closing delimiter followed by other text is body text",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nx\r\n--b--junk\r\n--b-\r\n--b x\r\n"
         "--b\rx\r\n--b--\r\n", 1, {"\r\n", "x\r\n", "--b--junk\r\n", "--b-\r\n", "--b x\r\n", "--b\rx"}},
        {"nested closing delimiter with trailing blanks at the part's end",
         "Content-Type: multipart/mixed; boundary=o\r\n\r\n--o\r\n"
         "Content-Type: multipart/alternative; boundary=i\r\n\r\n--i \r\n\r\nplain\r\n--i-- \t\r\n--o--", 1,
         {"\r\n", "plain"}},
        {"the only delimiter-like lines are longer boundaries",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--bb\r\n\r\nx\r\n--bb--\r\n", 0, {}},
        {"boundary is case-sensitive, parameter name is not",
         "Content-Type: multipart/mixed; BOUNDARY=Ab\r\n\r\n--ab\r\n--Ab\r\n\r\nx\r\n--Ab--", 1, {"\r\n", "x"}},
        {"child that fails fails the message",
         "Content-Type: multipart/mixed; boundary=o\r\n\r\n--o\r\nContent-Type: multipart/x\r\n\r\nz\r\n--o--\r\n", 0, {}},
        {"bare LF: the header fails after the boundary, no CR LF delimiter is found",
         "Content-Type: multipart/mixed; boundary=b\n\n--b\n\nx\n--b--\n", 0, {}},
        {"bare LF lines are one line", "Subject: s\n\n--b\n\nx\n", 1, {"Subject: s\n\n--b\n\nx\n"}},
        {"empty body part", "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n--b--\r\n", 1, {}},
    };
    for (const Case& c : cases) {
        Parsed p = ParseText(tm, c.message);
        EXPECT_EQ(p.result, c.result) << c.what << "\n" << p.tree;
        if (c.result) {
            EXPECT_EQ(p.leaf, c.leaf) << c.what << "\n" << p.tree;
        }
    }
}

TEST(CodingMimePartTest, MessageParsesOnceAndUnreadableFileFails)
{
    TempMachine tm;
    tm.WriteFile(kPath, "\r\nx");
    CMimeMessage msg;
    EXPECT_EQ(msg.FirstLeaf(), nullptr);
    EXPECT_EQ(msg.Parse("C:\\missing.eml"), 0);
    EXPECT_EQ(msg.GetRoot()->m_reader.GetStatus(), kMimeOpenFailed);
    EXPECT_EQ(msg.Parse(kPath), 0);   // the message already has a root
    CMimeMessage second;
    EXPECT_EQ(second.Parse(kPath), 1);
    EXPECT_EQ(second.Parse(kPath), 0);
    EXPECT_EQ(second.FirstLeaf(), second.GetRoot());
    // Memory: no bytes at all is an empty message; a null block with a size
    // cannot be opened.
    CMimeMessage empty;
    EXPECT_EQ(empty.ParseMemory(nullptr, 0), 1);
    EXPECT_EQ(empty.FirstLeaf()->m_strType, "text");
    CMimeMessage null;
    EXPECT_EQ(null.ParseMemory(nullptr, 5), 0);
    EXPECT_EQ(null.GetRoot()->m_reader.GetStatus(), kMimeOpenFailed);
    EXPECT_EQ(null.ParseMemory("\r\nx", 3), 0);   // the message already has a root
}

TEST(CodingMimePartTest, LongLinesComeInPieces)
{
    TempMachine tm;
    tm.WriteFile(kPath, "\r\n" + std::string(3000, 'a') + "\r\nx\ny\r\nend");
    CMimeMessage msg;
    ASSERT_EQ(msg.Parse(kPath), 1);
    EXPECT_EQ(Lines(msg.FirstLeaf(), 1001),
              (std::vector<std::string>{"\r\n", std::string(1000, 'a'), std::string(1000, 'a'),
                                        std::string(1000, 'a'), "\r\n", "x\ny\r\n", "end"}));
    // A CR at the end of a piece and its LF at the start of the next.
    tm.WriteFile(kPath, "\r\n" + std::string(2999, 'a') + "\r\nend");
    CMimeMessage msg2;
    ASSERT_EQ(msg2.Parse(kPath), 1);
    EXPECT_EQ(Lines(msg2.FirstLeaf(), 1001),
              (std::vector<std::string>{"\r\n", std::string(1000, 'a'), std::string(1000, 'a'),
                                        std::string(999, 'a') + "\r", "\n", "end"}));
    char tiny[1];
    EXPECT_EQ(msg.FirstLeaf()->ReadFirstLine(tiny, 1), -1);   // nothing would ever fit
}

TEST(CodingMimePartTest, FindPatternAndLineEnd)
{
    // The same answers from a file, from memory as one window and from
    // memory in windows.
    const std::string text = "ab\r\n\tc\r\nxx--bound--bound\r\nq";
    TempMachine tm;
    tm.WriteFile(kPath, text);
    const CMimeSource sources[] = {CMimeSource::File(kPath), CMimeSource::Memory(text.data(), text.size()),
                                   CMimeSource::Memory(text.data(), text.size(), true)};
    for (const CMimeSource& source : sources) {
        SCOPED_TRACE(source.m_bMemory ? (source.m_bWindowed ? "windowed memory" : "memory") : "file");
        CMimePart part(nullptr, source, 0, -1);
        ASSERT_EQ(part.Open(), 1);
        part.m_nEnd = 27;
        part.m_nCursor = 0;
        EXPECT_EQ(part.FindLineEnd(), 6);        // CR LF TAB is passed over
        part.m_nCursor = 6;
        EXPECT_EQ(part.FindLineEnd(), 6);        // a CR at the cursor counts
        part.m_nCursor = 7;
        EXPECT_EQ(part.FindLineEnd(), 24);
        part.m_nCursor = 25;
        EXPECT_EQ(part.FindLineEnd(), 25);       // none: the part's end - 2
        part.m_nCursor = 0;
        EXPECT_EQ(part.FindPattern("--bound"), 10);
        EXPECT_EQ(part.m_nCursor, 17);
        EXPECT_EQ(part.FindPattern("--bound"), 17);
        EXPECT_EQ(part.FindPattern("--bound"), -1);
        EXPECT_EQ(part.m_nCursor, 24);
        part.m_nCursor = 5;
        EXPECT_EQ(part.FindPattern(""), 5);
        EXPECT_EQ(part.FindPattern("\r\n\t"), -1);   // its last byte must not lie before the cursor
        part.m_nCursor = 4;
        EXPECT_EQ(part.FindPattern("\r\n\t"), 2);    // it may begin before the cursor
        EXPECT_EQ(part.m_nCursor, 5);
        part.m_nEnd = 26;
        part.m_nCursor = 0;
        EXPECT_EQ(part.FindPattern("\r\nq"), -1);     // the match must end before the part's end
        part.m_nEnd = 40;                             // beyond the last byte: absent bytes match nothing
        part.m_nCursor = 20;
        EXPECT_EQ(part.FindPattern("\r\nq"), 24);
        EXPECT_EQ(part.FindPattern("q\r"), -1);
        part.m_nCursor = 25;
        EXPECT_EQ(part.FindLineEnd(), 38);
    }
}

TEST(CodingMimePartTest, SearchesAcrossWindowEdges)
{
    // Random texts of few distinct bytes (so that near matches abound), with
    // random cursors, ends and patterns cut from the text itself (some longer
    // than a window): a file and a block in windows answer as the block in
    // one window does, also where a match or a CR LF straddles a window edge,
    // and the match is the first the text holds.
    std::mt19937 rng(7);
    const char alphabet[] = "\r\n\t-ab";
    TempMachine tm;
    int matches = 0;
    for (int round = 0; round < 60; ++round) {
        std::string text(static_cast<size_t>(1000 + rng() % 3000), ' ');
        for (char& c : text)
            c = alphabet[rng() % (sizeof(alphabet) - 1)];
        tm.WriteFile(kPath, text);
        CMimePart whole(nullptr, CMimeSource::Memory(text.data(), text.size()), 0, -1);
        CMimePart file(nullptr, kPath, 0, -1);
        CMimePart windowed(nullptr, CMimeSource::Memory(text.data(), text.size(), true), 0, -1);
        ASSERT_EQ(whole.Open(), 1);
        ASSERT_EQ(file.Open(), 1);
        ASSERT_EQ(windowed.Open(), 1);
        for (int probe = 0; probe < 50; ++probe) {
            const int size = static_cast<int>(text.size());
            const int cursor = static_cast<int>(rng() % static_cast<unsigned>(size + 8)) - 4;
            const int end = static_cast<int>(rng() % static_cast<unsigned>(size + 8));
            const int at = static_cast<int>(rng() % static_cast<unsigned>(size));
            const size_t length = probe % 10 == 0 ? 900 + rng() % 1500 : 1 + rng() % 12;
            const std::string wanted = text.substr(static_cast<size_t>(at), length);
            const CString pattern(wanted);
            for (CMimePart* p : {&whole, &file, &windowed}) {
                p->m_nCursor = cursor;
                p->m_nEnd = end;
            }
            const int lineEnd = whole.FindLineEnd();
            const int found = whole.FindPattern(pattern);
            size_t first = text.find(wanted, static_cast<size_t>(std::max(cursor - static_cast<int>(wanted.size()) + 1, 0)));
            if (first != std::string::npos && static_cast<int>(first + wanted.size()) > std::min(end, size))
                first = std::string::npos;
            ASSERT_EQ(found, first == std::string::npos ? -1 : static_cast<int>(first)) << round << " " << probe;
            for (CMimePart* p : {&file, &windowed}) {
                ASSERT_EQ(p->FindLineEnd(), lineEnd) << round << " " << probe;
                ASSERT_EQ(p->FindPattern(pattern), found) << round << " " << probe;
                ASSERT_EQ(p->m_nCursor, whole.m_nCursor) << round << " " << probe;
            }
            matches += found >= 0;
        }
    }
    EXPECT_GT(matches, 500);
}

TEST(CodingMimePartTest, WindowBoundaryAtEveryByte)
{
    // The same message behind a padding field of every length, so that each of
    // its bytes (delimiters, CR LF pairs, header fields) falls on offsets
    // 1023/1024 and 2047/2048 in turn. The inner boundary begins with the
    // outer one, so that the outer search meets lines it must pass over.
    std::string body;
    for (int i = 0; i < 12; ++i)
        body += "line " + std::to_string(i) + " " + std::string(static_cast<size_t>(i * 7), 'x') + "\r\n";
    const std::string tail =
        "Content-Type: multipart/mixed;\r\n boundary=\"==_b_==\"\r\n\r\n--==_b_==\r\n"
        "Content-Type: multipart/alternative; boundary=\"==_b_==.in\"\r\n\r\n--==_b_==.in\r\nContent-Type: text/plain\r\n"
        "Content-Transfer-Encoding: 7bit\r\n\r\n" + body +
        "--==_b_==.in\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n--==_b_==.in--\r\n"
        "--==_b_==  \r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        std::string(600, 'Q') + "\r\n--==_b_==--\r\n";
    TempMachine tm;
    const Parsed base = ParseText(tm, "X: \r\n" + tail);
    ASSERT_EQ(base.result, 1) << base.tree;
    ASSERT_EQ(base.leaf.size(), 15u);
    ASSERT_GT(tail.size(), 1100u);
    int tried = 0;
    for (int pad = 1; pad <= 1100; ++pad) {
        const std::string message = "X: " + std::string(static_cast<size_t>(pad), 'p') + "\r\n" + tail;
        // Only placements that put a line end, blank, tab or hyphen next to a
        // window edge (the rest read like their neighbours).
        bool edge = false;
        for (size_t at : {1022u, 1023u, 1024u, 1025u, 2046u, 2047u, 2048u, 2049u})
            edge = edge || (at < message.size() && std::strchr("\r\n\t -", message[at]) != nullptr);
        if (!edge)
            continue;
        ++tried;
        const Parsed p = ParseText(tm, message);
        ASSERT_EQ(p.result, 1) << pad;
        ASSERT_EQ(p.tree, Shift(base.tree, pad)) << pad;
        ASSERT_EQ(p.leaf, base.leaf) << pad;
    }
    EXPECT_GT(tried, 150);
}

TEST(CodingMimePartTest, NestingDepthIsBounded)
{
    // Far deeper than any real message: the parts below the limit stay one
    // leaf and the message still parses.
    std::string head, foot;
    const int levels = kMaxMimeDepth + 50;
    for (int i = 0; i < levels; ++i) {
        head += "Content-Type: multipart/mixed; boundary=q" + std::to_string(i) + "z\r\n\r\n--q" +
                std::to_string(i) + "z\r\n";
        foot = "\r\n--q" + std::to_string(i) + "z--" + foot;
    }
    TempMachine tm;
    tm.WriteFile(kPath, head + "\r\ndeep text" + foot);
    CMimeMessage msg;
    ASSERT_EQ(msg.Parse(kPath), 1);
    CMimePart* leaf = msg.FirstLeaf();
    EXPECT_EQ(leaf->GetDepth(), kMaxMimeDepth);
    EXPECT_EQ(leaf->m_strType, "multipart");
    std::vector<std::string> lines = Lines(leaf);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Content-Type: multipart/mixed; boundary=q" + std::to_string(kMaxMimeDepth) + "z\r\n");
}

TEST(CodingMimePartTest, PartCountIsBounded)
{
    std::string m = "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
    for (int i = 0; i < kMaxMimeParts + 5; ++i)
        m += "--b\r\n\r\n" + std::to_string(i) + "\r\n";
    m += "--b--\r\n";
    TempMachine tm;
    tm.WriteFile(kPath, m);
    CMimeMessage msg;
    ASSERT_EQ(msg.Parse(kPath), 1);
    int count = 0;
    for (CMimePart* p = msg.GetRoot()->GetFirstChild(); p; p = p->GetNextSibling())
        ++count;
    EXPECT_EQ(count, kMaxMimeParts);
    EXPECT_EQ(Lines(msg.FirstLeaf()), (std::vector<std::string>{"\r\n", "0"}));
}

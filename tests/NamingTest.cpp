// Output naming: logical header lines, unique and safe names, folder creation.
#include <gtest/gtest.h>

#include <time.h>

#include <filesystem>
#include <string>
#include <vector>

#include "framework/CString.h"
#include "tests/TestSupport.h"
#include "writers/Naming.h"
#include "writers/UnfoldedLine.h"

namespace {

// All logical lines of text, as the writers read a header.
std::vector<std::string> Lines(const std::string& text, bool keepWhiteSpace = false)
{
    std::vector<std::string> out;
    CUnfoldedLineReader reader(text.c_str(), static_cast<std::size_t>(-1), keepWhiteSpace);
    CString line;
    for (const char* p = text.c_str(); (p = reader.ReadLine(p, line)) != nullptr;)
        out.push_back(line.Str());
    EXPECT_TRUE(line.IsEmpty());
    return out;
}

using V = std::vector<std::string>;

double Seconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

TEST(NamingTest, UnfoldedLines)
{
    struct Case {
        std::string text;
        V lines;
        bool keep = false;   // RFC 5322 unfolding: only the line ends of folds go
    } cases[] = {
        {"Subject: a\r\n b\r\n", {"Subject: ab\r\n"}},
        {"Subject: a\r\n  b\r\n", {"Subject: a b\r\n"}},
        {"Subject: a\r\n\tb\r\n", {"Subject: a\tb\r\n"}},
        {"Subject: a\r\n    b\r\n", {"Subject: a b\r\n"}},                // a run becomes one space
        {"S: a\r\n b\r\n\tc\r\nT: d\r\n\r\nbody\r\n", {"S: ab\tc\r\n", "T: d\r\n", "\r\n", "body\r\n"}},
        {" lead\r\n", {"lead\r\n"}},                                          // first segment too
        {"no line end", {}},
        {"", {}},
        {"a\r\nrest without end", {"a\r\n"}},
        // Bare LF counts only when no CR LF follows anywhere.
        {"A: 1\nB: 2\n\nbody\n", {"A: 1\n", "B: 2\n", "\n", "body\n"}},
        {"A: 1\nB: 2\r\nC\n", {"A: 1\nB: 2\r\n", "C\n"}},
        {"A: 1\n b\nC\n", {"A: 1b\n", "C\n"}},
        // An empty line ends a header even when an indented line follows.
        {"A: 1\r\n\r\n x\r\n\r\n", {"A: 1\r\n", "\r\n", "x\r\n", "\r\n"}},
        {"\r\n\tx\r\n", {"\r\n", "\tx\r\n"}},
        {"A: 1\r\n\r\n x\r\n", {"A: 1\r\n", "\r\n", " x\r\n"}, true},
        // Keeping white space: folds lose their line ends only.
        {"Received: from a\r\n (b)\r\n\tby c\r\n", {"Received: from a (b)\tby c\r\n"}, true},
        {"Subject: =?ISO-2022-JP?B?GyRC?=\r\n =?ISO-2022-JP?B?JDs=?=\r\n",
         {"Subject: =?ISO-2022-JP?B?GyRC?= =?ISO-2022-JP?B?JDs=?=\r\n"}, true},
        {"  lead:  x   y\r\n    z\r\n", {"  lead:  x   y    z\r\n"}, true},
        {"A: 1\n  b\n\n", {"A: 1  b\n", "\n"}, true},
        // A fold whose continuation has no line end: nothing.
        {"A: 1\r\n x", {}},
        // "\r\r\n": the first CR is text.
        {"A\r\r\n", {"A\r\r\n"}},
        // CR LF split around the position: the LF alone is not a CR LF.
        {"A\nB\r\n", {"A\nB\r\n"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Lines(c.text, c.keep), c.lines) << c.text;
}

TEST(NamingTest, LongLineIsCutNotOverrun)
{
    // 5000 bytes of text in one physical line, then one folded over many lines.
    std::string big(5000, 'x');
    std::string text = "A: " + big + "\r\nB: 1\r\n";
    CUnfoldedLineReader reader(text.c_str());
    CString line;
    const char* p = reader.ReadLine(text.c_str(), line);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(reader.LastLineWasCut());
    EXPECT_EQ(line.GetLength(), kUnfoldedLineBufferSize - 1);
    EXPECT_EQ(line.Right(2), "\r\n");
    p = reader.ReadLine(p, line);
    EXPECT_EQ(line, "B: 1\r\n");
    EXPECT_FALSE(reader.LastLineWasCut());

    std::string folded = "R:";
    for (int i = 0; i < 400; ++i)
        folded += "\r\n\t<0123456789@x>";
    folded += "\r\n\r\n";
    CUnfoldedLineReader r2(folded.c_str());
    p = r2.ReadLine(folded.c_str(), line);
    EXPECT_TRUE(r2.LastLineWasCut());
    EXPECT_LE(line.GetLength(), kUnfoldedLineBufferSize - 1);
    EXPECT_EQ(line.Right(2), "\r\n");
    r2.ReadLine(p, line);
    EXPECT_EQ(line, "\r\n");

    // A cut never splits a double-byte character.
    std::string kanji = "S: ";
    for (int i = 0; i < 3000; ++i)
        kanji += "表";
    kanji += "\n";
    CUnfoldedLineReader r3(kanji.c_str());
    r3.ReadLine(kanji.c_str(), line);
    EXPECT_EQ(line.GetLength() % 2, 0);   // "S: " + whole characters + LF
    EXPECT_EQ(line.Right(1), "\n");
}

TEST(NamingTest, BareLfTextIsReadInLinearTime)
{
    // 10 MB of short bare-LF lines: a search for CR LF over the rest of the
    // text at every line would look at ~10^12 bytes and take minutes; read
    // once, the text takes milliseconds.
    const double started = Seconds();
    std::string text;
    text.reserve(10u << 20);
    while (text.size() < (10u << 20))
        text += "X-Line: some header text here\n";
    CUnfoldedLineReader reader(text.c_str());
    CString line;
    std::size_t count = 0;
    for (const char* p = text.c_str(); (p = reader.ReadLine(p, line)) != nullptr;)
        ++count;
    EXPECT_EQ(count, text.size() / 30);

    // The same with one CR LF at the very end: every line but the last is
    // taken up to that CR LF (one line).
    text.back() = '\r';
    text += "\n";
    CUnfoldedLineReader r2(text.c_str());
    const char* p = r2.ReadLine(text.c_str(), line);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(r2.LastLineWasCut());
    EXPECT_EQ(r2.ReadLine(p, line), nullptr);
    EXPECT_LT(Seconds() - started, 20.0);
}

TEST(NamingTest, UniqueNames)
{
    TempMachine tm;
    EXPECT_EQ(MakeUniqueFileName("C:\\out\\受信トレイ.mbx"), "C:\\out\\受信トレイ.mbx");
    tm.WriteFile("C:\\out\\受信トレイ.mbx", "");
    EXPECT_EQ(MakeUniqueFileName("C:\\out\\受信トレイ.mbx"), "C:\\out\\受信トレイ[01].mbx");
    tm.WriteFile("C:\\out\\受信トレイ[01].mbx", "");
    EXPECT_EQ(MakeUniqueFileName("C:\\out\\受信トレイ.mbx"), "C:\\out\\受信トレイ[02].mbx");

    // A folder counts as taken; a dot numbers before the extension.
    tm.MakeDirs("C:\\ns\\a.b");
    EXPECT_EQ(MakeUniqueFileName("C:\\ns\\a.b"), "C:\\ns\\a[01].b");
    // No extension; a dot in a folder name is not an extension.
    tm.WriteFile("C:\\x.d\\box", "");
    EXPECT_EQ(MakeUniqueFileName("C:\\x.d\\box"), "C:\\x.d\\box[01]");
    // Empty base name.
    tm.WriteFile("C:\\e\\.eml", "");
    EXPECT_EQ(MakeUniqueFileName("C:\\e\\.eml"), "C:\\e\\[01].eml");
    // A 0x5C trail byte is not a folder separator: "表.x" stays one name.
    tm.WriteFile("C:\\t\\表.x", "");
    EXPECT_EQ(MakeUniqueFileName("C:\\t\\表.x"), "C:\\t\\表[01].x");

    // After [99] comes [100].
    tm.WriteFile("C:\\n\\m.eml", "");
    for (int i = 1; i <= 99; ++i)
        tm.WriteFile(NumberedFileName("C:\\n\\m.eml", i), "");
    EXPECT_EQ(MakeUniqueFileName("C:\\n\\m.eml"), "C:\\n\\m[100].eml");
}

TEST(NamingTest, UniqueNameCacheGivesTheSameNames)
{
    TempMachine tm;
    tm.WriteFile("C:\\c\\s[02].eml", "");   // a gap taken before the run
    CUniqueNameCache cache;
    std::vector<std::string> got;
    for (int i = 0; i < 5; ++i) {
        CString name = MakeUniqueFileName("C:\\c\\s.eml", &cache);
        got.push_back(name.Str());
        if (i != 1)                     // the second one is never created
            tm.WriteFile(name, "");
    }
    EXPECT_EQ(got, (V{"C:\\c\\s.eml", "C:\\c\\s[01].eml", "C:\\c\\s[01].eml", "C:\\c\\s[03].eml",
                      "C:\\c\\s[04].eml"}));
    // A name taken from outside the run is still seen.
    tm.WriteFile("C:\\c\\s[05].eml", "");
    EXPECT_EQ(MakeUniqueFileName("C:\\c\\s.eml", &cache), "C:\\c\\s[06].eml");
}

TEST(NamingTest, SafeNames)
{
    struct Case {
        std::string in, out;
    } cases[] = {
        {"Re: 見積/再送?", "Re： 見積／再送？"},
        {"Re: 資料?", "Re： 資料？"},
        {"a\\b*c\"d<e>f|g", "a￥b＊c”d＜e＞f｜g"},
        {"表示|ソフト\\能力", "表示｜ソフト￥能力"},       // trail bytes 0x5C stay
        {"\x83\x7C|", "\x83\x7C｜"},                        // trail byte 0x7C stays
        {"", ""},
        {" .a\t. ", " .a\t. "},                            // nothing else changes
        {"\x81", "\x81"},                                  // a lone lead byte at the end
    };
    for (const Case& c : cases) {
        CString name(c.in);
        MakeSafeFileName(name);
        EXPECT_EQ(name.Str(), c.out) << c.in;
    }
}

TEST(NamingTest, CreateFolderPath)
{
    TempMachine tm;
    namespace fs = std::filesystem;
    // The entries of a folder, by name.
    auto entries = [&](const CString& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(tm.Host(folder)))
            names.push_back(e.path().filename().string());
        return names;
    };

    EXPECT_TRUE(CreateFolderPath("C:\\out\\受信トレイ"));
    EXPECT_TRUE(tm.Exists("C:\\out\\受信トレイ"));
    EXPECT_TRUE(CreateFolderPath("C:\\out\\受信トレイ\\"));   // all exist: "already exists" accepted
    EXPECT_EQ(entries("C:\\out"), (V{Utf8(u8"受信トレイ")}));

    // No drive part; a 0x5C trail byte is no separator: one folder "表".
    EXPECT_TRUE(CreateFolderPath("\\top\\表"));
    EXPECT_EQ(entries("C:\\top"), (V{Utf8(u8"表")}));
    EXPECT_TRUE(fs::is_directory(tm.Host("C:\\top\\表")));

    EXPECT_TRUE(CreateFolderPath(""));

    // A file in the way: creating below it fails with another error, and a
    // file standing where the folder should be is no folder.
    tm.WriteFile("C:\\f", "x");
    EXPECT_FALSE(CreateFolderPath("C:\\f\\g"));
    EXPECT_FALSE(CreateFolderPath("C:\\f"));
    // An unmapped drive cannot be created.
    EXPECT_FALSE(CreateFolderPath("Q:\\x"));
}

// The eml writer: one file per message, named after its subject.
#include <algorithm>

#include "tests/WriterFixture.h"
#include "writers/EmlWriter.h"
#include "writers/Writers.h"

using namespace writer_test;

namespace {

const std::string kSep = "From ???@??? Mon Jan  6  9: 5: 3 2003\r\n";

class EmlWriterTest : public WriterFixture {
protected:
    // File names (UTF-8 host names) in a tray folder, sorted.
    std::vector<std::string> Files(const CString& folder)
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(tm.Host(folder)))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

}  // namespace

TEST_F(EmlWriterTest, NamesNumbersAndContents)
{
    MakeTray("受信トレイ", {
        {Message("会議"), "会議"},
        {Message("x"), "会議", kIndexFlagRemoved},
        {Message("会議"), "会議"},
        {Message(""), ""},
        {Message(""), ""},
        {"From ???@??? stored\r\n" + Message("Re: 資料?"), "Re: 資料?"},
        {Message("From body", "From here\r\n"), "表示"},
    });
    Select({"受信トレイ"});
    app.m_nFormat = kFormatEml;
    app.m_strOutputDir = "D:\\mail\\";   // one separator, "D:\mail" created

    EXPECT_EQ(app.ConvertMail(), 1);
    EXPECT_EQ(Files("D:\\mail\\受信トレイ"),
              (std::vector<std::string>{Utf8(u8".eml"), Utf8(u8"Re： 資料？.eml"), Utf8(u8"[01].eml"),
                                        Utf8(u8"会議.eml"), Utf8(u8"会議[01].eml"), Utf8(u8"表示.eml")}));
    EXPECT_EQ(tm.ReadFile("D:\\mail\\受信トレイ\\会議[01].eml"), kSep + Message("会議"));
    EXPECT_EQ(tm.ReadFile("D:\\mail\\受信トレイ\\Re： 資料？.eml"), "From ???@??? stored\r\n" + Message("Re: 資料?"));
    // No "From " quoting in single-message files.
    EXPECT_EQ(tm.ReadFile("D:\\mail\\受信トレイ\\表示.eml"), kSep + Message("From body", "From here\r\n"));
    EXPECT_EQ(progress.events, (std::vector<std::string>{"create", "begin 受信トレイ 6", "set 1", "set 2", "set 3",
                                                         "set 4", "set 5", "set 6", "destroy"}));

    std::vector<std::string> hostFiles;
    for (const auto& e : std::filesystem::directory_iterator(tm.Host("D:\\mail\\受信トレイ")))
        hostFiles.push_back(e.path().string());
    std::sort(hostFiles.begin(), hostFiles.end());
    const std::string read = ReadBack("eml", hostFiles);
    EXPECT_EQ(std::count(read.begin(), read.end(), '\n'), 6) << read;
    EXPECT_EQ(read.find("ERROR"), std::string::npos) << read;

    // Run twice: every file of the second run is numbered.
    EXPECT_EQ(app.ConvertMail(), 1);
    EXPECT_EQ(Files("D:\\mail\\受信トレイ").size(), 12u);
    EXPECT_TRUE(tm.Exists("D:\\mail\\受信トレイ\\会議[02].eml"));
    EXPECT_TRUE(tm.Exists("D:\\mail\\受信トレイ\\表示[01].eml"));
}

TEST_F(EmlWriterTest, TrayFailures)
{
    // Storage missing: no folder, next tray; an empty tray still gets its folder.
    MakeTray("a", {{Message("1"), "1"}});
    std::filesystem::remove(tm.Host("C:\\Store\\Data\\MailBox\\a\\Message Storage.mbx"));
    MakeTray("b", {{Message("2"), "2", kIndexFlagRemoved}});
    Select({"a", "b"});
    app.m_nFormat = kFormatEml;
    EXPECT_EQ(app.ConvertMail(), 1);
    EXPECT_FALSE(tm.Exists("C:\\out\\a"));
    EXPECT_TRUE(Files("C:\\out\\b").empty());

    // Tray folder not creatable (a file in the way): file error.
    tm.WriteFile("C:\\out\\b2", "");
    app.m_strOutputDir = "C:\\out\\b2";
    Select({"b"});
    EXPECT_EQ(app.ConvertMail(), 0);
    EXPECT_EQ(app.m_nErrorCode, kErrorFile);
    EXPECT_EQ(progress.events.back(), "destroy");
}

TEST_F(EmlWriterTest, EveryMessageGetsItsFile)
{
    const std::string longSubject = std::string(50, 'a') + std::string(300, 'x');
    std::string kanji;
    for (int i = 0; i < 150; ++i)
        kanji += "表";
    MakeTray("t", {
        {Message("c"), "a\tb\x01\x7F"},          // control characters
        {Message("d"), "con"},                   // device names
        {Message("d"), "LPT1.txt"},
        {Message("d"), "Nul "},
        {Message("d"), "COM10"},                 // not a device
        {Message("l"), longSubject},             // too long for MAX_PATH
        {Message("k"), kanji},                   // too long for the host's name limit
        {"Subject: no end\r\n", "noend"},        // no header end: written whole
    });
    Select({"t"});
    app.m_nFormat = kFormatEml;
    EXPECT_EQ(app.ConvertMail(), 1);
    const auto files = Files("C:\\out\\t");
    EXPECT_EQ(files.size(), 8u);
    for (const char8_t* name : {u8"a＿b＿＿.eml", u8"con_.eml", u8"LPT1_.txt.eml", u8"Nul_ .eml", u8"COM10.eml"})
        EXPECT_TRUE(std::find(files.begin(), files.end(), Utf8(name)) != files.end()) << Utf8(name);
    for (const std::string& f : files)
        EXPECT_LE(f.size() + std::string("C:\\out\\t\\").size(), 259u + 150u) << f;   // host names are UTF-8
    EXPECT_EQ(tm.ReadFile("C:\\out\\t\\noend.eml"), kSep + "Subject: no end\r\n");
}

TEST_F(EmlWriterTest, BaseNames)
{
    const CString folder = "C:\\out\\t";
    EXPECT_EQ(MakeEmlBaseName("Re: 見積/再送?", folder), "Re： 見積／再送？");
    EXPECT_EQ(MakeEmlBaseName("aux.x.y", folder), "aux_.x.y");
    EXPECT_EQ(MakeEmlBaseName("auxiliary", folder), "auxiliary");
    EXPECT_EQ(MakeEmlBaseName("", folder), "");
    // Cut on a character boundary so that folder, "\", "[NN]" and ".eml" fit in 259.
    std::string kanji;
    for (int i = 0; i < 200; ++i)
        kanji += "表";
    const CString cut = MakeEmlBaseName(CString(std::string_view(kanji)), folder);
    EXPECT_EQ(cut.GetLength(), 242);   // 259 - 8 ("C:\out\t") - 1 - 4 - 4, whole characters
    EXPECT_EQ(MakeEmlBaseName("abcdef", folder, 3), "abc");
}

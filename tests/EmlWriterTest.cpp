// The eml writer: one file per message, named after its subject.
#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "tests/WriterFixture.h"
#include "writers/EmlWriter.h"
#include "writers/Writers.h"

using namespace writer_test;

namespace {

const std::string kSep = "From ???@??? Mon Jan  6 09:05:03 2003\r\n";

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
    job.format = kFormatEml;
    job.outputDir = "D:\\mail\\";   // one separator, "D:\mail" created

    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(Files("D:\\mail\\受信トレイ"),
              (std::vector<std::string>{Utf8(u8".eml"), Utf8(u8"Re： 資料？.eml"), Utf8(u8"[01].eml"),
                                        Utf8(u8"会議.eml"), Utf8(u8"会議[01].eml"), Utf8(u8"表示.eml")}));
    // Without the store's "." line.
    EXPECT_EQ(tm.ReadFile("D:\\mail\\受信トレイ\\会議[01].eml"), kSep + InFile("会議"));
    EXPECT_EQ(tm.ReadFile("D:\\mail\\受信トレイ\\Re： 資料？.eml"), "From ???@??? stored\r\n" + InFile("Re: 資料?"));
    // No "From " quoting in single-message files.
    EXPECT_EQ(tm.ReadFile("D:\\mail\\受信トレイ\\表示.eml"), kSep + InFile("From body", "From here\r\n"));
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
    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(Files("D:\\mail\\受信トレイ").size(), 12u);
    EXPECT_TRUE(tm.Exists("D:\\mail\\受信トレイ\\会議[02].eml"));
    EXPECT_TRUE(tm.Exists("D:\\mail\\受信トレイ\\表示[01].eml"));
}

TEST_F(EmlWriterTest, TrayFailures)
{
    // Storage missing under an index without live records: no folder, next
    // tray; an empty tray still gets its folder.
    MakeTray("a", {{Message("1"), "1", kIndexFlagRemoved}});
    std::filesystem::remove(tm.Host("C:\\Store\\Data\\MailBox\\a\\Message Storage.mbx"));
    MakeTray("b", {{Message("2"), "2", kIndexFlagRemoved}});
    MakeTray("c", {{Message("3"), "3"}});
    Select({"a", "b"});
    job.format = kFormatEml;
    EXPECT_EQ(Write(), 1);
    EXPECT_FALSE(tm.Exists("C:\\out\\a"));
    EXPECT_TRUE(Files("C:\\out\\b").empty());

    // Each of these stops the run with a file error: storage missing while the
    // index lists live messages, a file where the output folder's parent or
    // the tray folder itself should be.
    struct Case {
        const char* tray;
        const char* outputDir;
        const char* fileInTheWay;
    } cases[] = {
        {"a", "C:\\out", nullptr},
        {"c", "C:\\out\\f1", "C:\\out\\f1"},
        {"c", "C:\\out\\f2", "C:\\out\\f2\\c"},
    };
    MakeTray("a", {{Message("1"), "1"}});
    std::filesystem::remove(tm.Host("C:\\Store\\Data\\MailBox\\a\\Message Storage.mbx"));
    for (const Case& c : cases) {
        if (c.fileInTheWay)
            tm.WriteFile(c.fileInTheWay, "");
        job.outputDir = c.outputDir;
        errorCode = 0;
        progress.events.clear();
        Select({c.tray});
        EXPECT_EQ(Write(), 0) << c.outputDir;
        EXPECT_EQ(errorCode, kErrorFile) << c.outputDir;
        EXPECT_EQ(progress.events.back(), "destroy");
    }
}

TEST_F(EmlWriterTest, AMessageFileThatCannotBeMadeIsRetriedThenAFileError)
{
    // Names the file system refuses.
    struct Case {
        std::vector<const char8_t*> blocked;
        const char8_t* written;   // null: the run stops with a file error
    } cases[] = {
        {{u8"会議.eml"}, u8"会.eml"},                       // a shorter name
        {{u8"会議.eml", u8"会.eml"}, u8"1.eml"},            // the running number alone
        {{u8"会議.eml", u8"会.eml", u8"1.eml"}, nullptr},
    };
    MakeTray("t", {{Message("会議"), "会議"}});
    Select({"t"});
    job.format = kFormatEml;
    int run = 0;
    for (const Case& c : cases) {
        const CString out = CString("C:\\out") + CString(std::to_string(run++));
        tm.MakeDirs(out + "\\t");
        tm.machine().createFaults.clear();
        for (const char8_t* name : c.blocked)
            tm.machine().createFaults.insert((out + "\\t\\" + CString(Utf8ToSjis(Utf8(name)))).Str());
        tm.Apply();
        job.outputDir = out;
        errorCode = 0;
        EXPECT_EQ(Write(), c.written ? 1 : 0);
        EXPECT_EQ(errorCode, c.written ? 0 : kErrorFile);
        if (c.written) {
            EXPECT_EQ(tm.ReadFile(out + "\\t\\" + CString(Utf8ToSjis(Utf8(c.written)))), kSep + InFile("会議"));
        }
    }
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
        // Index subjects as the client may keep them: decoded for the name.
        {Message("e"), "=?ISO-2022-JP?B?GyRCMCEbKEI?= =?us-ascii?Q?a/b?="},
        {Message("e"), "=?us-ascii?Q?c=0D=0Ad?="},
        {Message("e"), "=?x-unknown?B?gqA=?="},  // 8-bit text: kept as it stands
        {Message("e"), "\x1b$B\x30\x21\x1b(B!"},  // raw ISO-2022-JP
    });
    Select({"t"});
    job.format = kFormatEml;
    EXPECT_EQ(Write(), 1);
    const auto files = Files("C:\\out\\t");
    EXPECT_EQ(files.size(), 12u);
    for (const char8_t* name : {u8"a＿b＿＿.eml", u8"con_.eml", u8"LPT1_.txt.eml", u8"Nul_ .eml", u8"COM10.eml",
                                u8"亜a／b.eml", u8"c＿＿d.eml", u8"=？x-unknown？B？gqA=？=.eml", u8"亜!.eml"})
        EXPECT_TRUE(std::find(files.begin(), files.end(), Utf8(name)) != files.end()) << Utf8(name);
    for (const std::string& f : files)
        EXPECT_LE(f.size() + std::string("C:\\out\\t\\").size(), 259u + 150u) << f;   // host names are UTF-8
    EXPECT_EQ(tm.ReadFile("C:\\out\\t\\noend.eml"), kSep + "Subject: no end\r\n");
    // Every name, with "[NN]" and ".eml", fits in 255 bytes of UTF-8.
    for (const std::string& f : files)
        EXPECT_LE(f.size(), 255u - 7u + 4u) << f;
}

TEST_F(EmlWriterTest, FilesShowTheMessageDate)
{
    tm.machine().zoneMinutes = 9 * 60;   // local time is UTC + 9 hours
    tm.Apply();
    constexpr std::int64_t kWritten = -1;   // the time of the conversion
    const struct Case {
        std::string field;
        std::int64_t time;   // seconds since 1970 UTC: 1041811503 is 2003-01-06 00:05:03
    } cases[] = {
        {"Date: Mon, 6 Jan 2003 09:05:03 +0900\r\n", 1041811503},
        {"Date: 5 Jan 03 19:05:03 EST\r\n", 1041811503},
        {"X-Date: 1 Jan 2000 00:00 GMT\r\ndate : (sent) Mon, 6 Jan 2003 00:05:03 (UTC) GMT\r\n", 1041811503},
        {"Date: Mon, 6 Jan 2003 09:05:03\r\n", 1041811503},   // no zone: local time
        {"", kWritten},
        {"Date: yesterday\r\n", kWritten},
        {"Date: 31 Feb 2003 09:05:03 +0900\r\n", kWritten},
    };
    std::vector<StoredMessage> messages;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string subject = "d" + std::to_string(i);
        messages.push_back({cases[i].field + "Subject: " + subject + "\r\n\r\ntext\r\n.\r\n", subject});
    }
    MakeTray("t", messages);
    Select({"t"});
    job.format = kFormatEml;
    const std::time_t before = std::time(nullptr);
    EXPECT_EQ(Write(), 1);
    const std::time_t after = std::time(nullptr);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const CString path = CString("C:\\out\\t\\d") + CString(std::to_string(i)) + ".eml";
        EXPECT_EQ(tm.ReadFile(path), kSep + c.field + "Subject: d" + std::to_string(i) + "\r\n\r\ntext\r\n");
        struct stat st;
        ASSERT_EQ(::stat(tm.Host(path).c_str(), &st), 0);
        if (c.time == kWritten) {
            EXPECT_GE(st.st_mtime, before) << c.field;
            EXPECT_LE(st.st_mtime, after) << c.field;
        } else {
            EXPECT_EQ(st.st_mtime, c.time) << c.field;
        }
    }
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
    EXPECT_EQ(cut.GetLength(), 162);   // 81 characters: 243 bytes of UTF-8 + "[NNNNN]" + ".eml" <= 255
    std::string ascii(300, 'a');
    EXPECT_EQ(MakeEmlBaseName(CString(std::string_view(ascii)), folder).GetLength(), 242);   // MAX_PATH: 259 - 8 - 1 - 4 - 4
    std::string kana(300, '\xB1');   // half-width katakana: 3 bytes each in UTF-8
    EXPECT_EQ(MakeEmlBaseName(CString(std::string_view(kana)), folder).GetLength(), 81);
    EXPECT_EQ(MakeEmlBaseName("abcdef", folder, 3), "abc");
}

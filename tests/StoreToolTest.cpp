// vmtool make-store / dump-index / rebuild, run as the developer runs them,
// and the stores they make read back through the loader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "coding/Jis.h"
#include "store/MailIndexLoader.h"
#include "store/TrayList.h"
#include "tests/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string Tool()
{
    return std::string(VELMORA_BINARY_DIR) + "/vmtool";
}

// Runs vmtool with args (host paths, UTF-8); answers its exit status and output.
// env, when given, is put before the command ("NAME=value ").
int RunTool(const std::string& args, std::string* out = nullptr, const std::string& env = "")
{
    std::string outFile = fs::temp_directory_path() / ("vmtool-out-" + std::to_string(::getpid()));
    int status = std::system((env + Tool() + " " + args + " >" + outFile + " 2>/dev/null").c_str());
    if (out) {
        std::ifstream in(outFile, std::ios::binary);
        out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::remove(outFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteHost(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Messages as a user's mail folder holds them: CR LF and bare LF, encoded
// and raw ISO-2022-JP, a body line ".", several recipients, flags.
const std::vector<std::string> kMessages = {
    "From: =?ISO-2022-JP?B?GyRCMCEbKEI=?= <a@orvane.ne.jp>\r\nTo: b@x.jp, c@x.jp\r\n"
    "Subject: =?ISO-2022-JP?B?GyRCMCEbKEI=?=\r\n =?ISO-2022-JP?B?GyRCMCEbKEI=?=\r\n"
    "Date: Mon, 6 Jan 2003 09:05:03 +0900\r\nMessage-ID: <m1@x.jp>\r\nX-Status: AR\r\n\r\n"
    "line\r\n.\r\nafter the dot\r\n",
    "From: b@x.jp\nTo: a@orvane.ne.jp\nCC: d@x.jp\nSubject: plain\nDate: Tue, 7 Jan 2003 10:00:00 +0900\n"
    "In-Reply-To: <m1@x.jp>\nContent-Type: multipart/mixed; boundary=\"b\"\n\n--b\n\x1b$B0!\x1b(B\n--b--\n",
    "From: c@x.jp\r\nSubject: third\r\nReply-To: r@x.jp\r\nBCC: z@x.jp\r\n\r\nbody",
};

class StoreToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(Tool()))
            GTEST_SKIP() << "vmtool not built";
        for (size_t i = 0; i < kMessages.size(); ++i)
            WriteHost(fs::path(tm.root()) / "in" / ("m" + std::to_string(i) + ".eml"), kMessages[i]);
    }

    // Makes the store C:\Store with the trays 受信トレイ and 仕事 from the messages.
    void Make(const std::string& options)
    {
        std::string in = tm.root() + "/in";
        ASSERT_EQ(RunTool("make-store " + options + " '" + tm.Host("C:\\Store") + "' '" + Utf8(u8"受信トレイ") + "=" + in +
                          "' '" + Utf8(u8"仕事") + "=" + in + "'"),
                  0);
    }

    CMailIndexList Load(const CString& tray)
    {
        loader.LoadTrayIndex(tray);
        CMailIndexList copy;
        for (const auto& r : loader.Index().records)
            copy.push_back(std::make_unique<CMailIndexData>(*r));
        return copy;
    }

    TempMachine tm;
    CMailIndexLoader loader{"C:\\Store"};
};

std::string Storage(const TempMachine& tm, const CString& tray)
{
    return tm.ReadFile(GetTrayFolderPath("C:\\Store", tray) + "\\Message Storage.mbx");
}

}  // namespace

TEST_F(StoreToolTest, StoreReadsBackRecordForRecord)
{
    Make("--removed=1 --info=7,9");
    EXPECT_EQ(tm.ReadFile("C:\\Store\\Data\\MailTray.dat"), "仕事\r\n");
    EXPECT_EQ(tm.ReadFile("C:\\Store\\Data\\AddressBook.txt"),
              "亜\ta@orvane.ne.jp\r\nb@x.jp\tb@x.jp\r\nc@x.jp\tc@x.jp\r\n");
    for (const CString& tray : {CString("受信トレイ"), CString("仕事")}) {
        CMailIndexList records = Load(tray);
        std::string storage = Storage(tm, tray);
        ASSERT_EQ(records.size(), 3u);
        EXPECT_EQ(loader.Index().removedCount, 1);
        EXPECT_EQ(loader.Index().liveCount, 2);
        EXPECT_EQ(loader.Index().info1, 7u);
        EXPECT_EQ(loader.Index().info2, 9u);
        std::string range0 = storage.substr(records[0]->m_dwStart, records[0]->m_dwEnd - records[0]->m_dwStart);
        EXPECT_EQ(range0, "From: =?ISO-2022-JP?B?GyRCMCEbKEI=?= <a@orvane.ne.jp>\r\nTo: b@x.jp, c@x.jp\r\n"
                          "Subject: =?ISO-2022-JP?B?GyRCMCEbKEI=?=\r\n =?ISO-2022-JP?B?GyRCMCEbKEI=?=\r\n"
                          "Date: Mon, 6 Jan 2003 09:05:03 +0900\r\nMessage-ID: <m1@x.jp>\r\nX-Status: AR\r\n\r\n"
                          "line\r\n..\r\nafter the dot\r\n.\r\n");
        EXPECT_EQ(records[0]->m_strSubject, "亜亜");
        EXPECT_EQ(records[0]->m_strFrom, "亜 <a@orvane.ne.jp>");
        EXPECT_EQ(records[0]->m_strMessageId, "m1@x.jp");
        EXPECT_EQ(records[0]->m_dwFlags, kIndexFlagXStatusAR | kIndexFlagSeveralRecipients);
        EXPECT_EQ(records[0]->m_dwMark, kIndexMarkOwnService);
        EXPECT_EQ(records[1]->m_dwStart, records[0]->m_dwEnd + 2);
        EXPECT_EQ(records[1]->m_dwFlags, kIndexFlagMultipartMixed | kIndexFlagSeveralRecipients | kIndexFlagRemoved);
        EXPECT_EQ(records[1]->m_strInReplyTo, "m1@x.jp");
        EXPECT_EQ(records[2]->m_strReplyTo, "r@x.jp");
        EXPECT_EQ(records[2]->m_strBcc, "z@x.jp");
        EXPECT_EQ(records[2]->m_dwEnd + 2, storage.size());
        EXPECT_EQ(storage.substr(records[2]->m_dwStart), "From: c@x.jp\r\nSubject: third\r\nReply-To: r@x.jp\r\n"
                                                          "BCC: z@x.jp\r\n\r\nbody\r\n.\r\n\r\n");
    }
}

TEST_F(StoreToolTest, RebuiltIndexesMatchTheToolsIndexes)
{
    for (const char* gap : {"", "--no-gap"}) {
        Make(gap);
        CMailIndexList made = Load("受信トレイ");
        Make(std::string("--no-index ") + gap);
        ASSERT_FALSE(tm.Exists(GetTrayFolderPath("C:\\Store", "受信トレイ") + kIndexFileName));
        CMailIndexList rebuilt = Load("受信トレイ");
        EXPECT_TRUE(tm.Exists(GetTrayFolderPath("C:\\Store", "受信トレイ") + kIndexFileName));   // written back
        ASSERT_EQ(rebuilt.size(), made.size());
        for (size_t i = 0; i < made.size(); ++i) {
            const CMailIndexData& a = *made[i];
            const CMailIndexData& b = *rebuilt[i];
            EXPECT_EQ(a.m_nNumber, b.m_nNumber);
            EXPECT_EQ(a.m_strSubject, b.m_strSubject);
            EXPECT_EQ(a.m_strFrom, b.m_strFrom);
            EXPECT_EQ(a.m_strTo, b.m_strTo);
            EXPECT_EQ(a.m_strCc, b.m_strCc);
            EXPECT_EQ(a.m_strBcc, b.m_strBcc);
            EXPECT_EQ(a.m_strReplyTo, b.m_strReplyTo);
            EXPECT_EQ(a.m_strDate, b.m_strDate);
            EXPECT_EQ(a.m_strMessageId, b.m_strMessageId);
            EXPECT_EQ(a.m_strInReplyTo, b.m_strInReplyTo);
            EXPECT_EQ(a.m_dwFlags | kIndexFlagRebuilt, b.m_dwFlags) << i;
            EXPECT_EQ(a.m_dwStart, b.m_dwStart) << gap << i;
            EXPECT_EQ(a.m_dwEnd, b.m_dwEnd) << gap << i;
            EXPECT_EQ(a.m_dwMark, b.m_dwMark);
        }
    }
}

TEST_F(StoreToolTest, WideStringsLoadLikeNarrowOnes)
{
    Make("");
    std::string narrow = tm.ReadFile(GetTrayFolderPath("C:\\Store", "仕事") + kIndexFileName);
    CMailIndexList a = Load("仕事");
    Make("--wide");
    EXPECT_NE(tm.ReadFile(GetTrayFolderPath("C:\\Store", "仕事") + kIndexFileName), narrow);
    CMailIndexList b = Load("仕事");
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i]->m_strSubject, b[i]->m_strSubject);
        EXPECT_EQ(a[i]->m_strFrom, b[i]->m_strFrom);
        EXPECT_EQ(a[i]->m_dwEnd, b[i]->m_dwEnd);
    }
    // Saving gives the narrow file back.
    CMailIndexLoader::WriteIndexFile(GetTrayFolderPath("C:\\Store", "仕事") + kIndexFileName, loader.Index());
    EXPECT_EQ(tm.ReadFile(GetTrayFolderPath("C:\\Store", "仕事") + kIndexFileName), narrow);
}

TEST_F(StoreToolTest, DumpAndRebuildPrintJsonLinesAndWriteNothing)
{
    Make("--removed=0 --info=3,4");
    std::string tray = tm.Host("C:\\Store") + "/Data/MailBox/" + Utf8(u8"仕事");
    std::string out;
    ASSERT_EQ(RunTool("dump-index '" + tray + "/vmmail.idx'", &out), 0);
    EXPECT_NE(out.find("{\"number\":2,\"subject\":\"7468697264\",\"from\":\"634078") , std::string::npos) << out;
    EXPECT_NE(out.find("\"flags\":21,\"start\":0,"), std::string::npos) << out;
    EXPECT_NE(out.find("\n{\"count\":3,\"removed\":1,\"live\":2,\"info1\":3,\"info2\":4}\n"), std::string::npos) << out;
    // A message stored after the index follows its records, as loading gives it.
    const std::string index = tm.ReadFile(GetTrayFolderPath("C:\\Store", "仕事") + kIndexFileName);
    const std::string storage = Storage(tm, "仕事");
    WriteHost(tray + "/Message Storage.mbx", storage + "Subject: new\r\n\r\n.\r\n");
    ASSERT_EQ(RunTool("dump-index '" + tray + "/vmmail.idx'", &out), 0);
    EXPECT_NE(out.find("{\"number\":3,\"subject\":\"6e6577\","), std::string::npos) << out;
    EXPECT_NE(out.find("\n{\"count\":4,\"removed\":1,\"live\":3,\"info1\":3,\"info2\":4}\n"), std::string::npos) << out;
    EXPECT_EQ(tm.ReadFile(GetTrayFolderPath("C:\\Store", "仕事") + kIndexFileName), index);
    WriteHost(tray + "/Message Storage.mbx", storage);

    fs::remove(tray + "/vmmail.idx");
    ASSERT_EQ(RunTool("rebuild '" + tray + "/Message Storage.mbx'", &out), 0);
    EXPECT_NE(out.find("{\"count\":3,\"removed\":0,\"live\":3,\"info1\":0,\"info2\":0}"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(tray + "/vmmail.idx"));

    WriteHost(tray + "/Message Storage.mbx", "");
    ASSERT_EQ(RunTool("rebuild '" + tray + "/Message Storage.mbx'", &out), 0);
    EXPECT_TRUE(fs::exists(tray + "/Message Storage.mbx"));   // not deleted
    EXPECT_EQ(RunTool("rebuild '" + tray + "/missing.mbx'"), 1);
    EXPECT_EQ(RunTool("make-store"), 2);
}

// A whole conversion from the command line, in every format, using the host's
// temporary folder for the Eudora writer's work file and leaving nothing there.
TEST_F(StoreToolTest, ConvertRunsEveryFormat)
{
    Make("");
    const std::string tmp = tm.root() + "/tmp";
    fs::create_directories(tmp);
    for (int format = 1; format <= 4; ++format) {
        const std::string out = tm.root() + "/out" + std::to_string(format);
        fs::create_directories(out);
        std::string printed;
        EXPECT_EQ(RunTool("convert --store '" + tm.Host("C:\\Store") + "' --format " + std::to_string(format) +
                              " --trays '" + Utf8(u8"受信トレイ") + "' --out '" + out + "' --csv '" + out +
                              "/a.csv'",
                          &printed, "TMPDIR='" + tmp + "' "),
                  0)
            << format << printed;
        EXPECT_NE(printed.find(Utf8(u8"メール変換が正常に終了しました。")), std::string::npos) << format;
        EXPECT_TRUE(fs::exists(out + "/a.csv")) << format;
    }
    EXPECT_TRUE(fs::is_empty(tmp));
}

// Whole conversions of stores whose index does not list every message: an
// index whose count was lowered by a damaged byte (unusable: rebuilt from the
// storage), and storage that goes on past the index's furthest range. Every
// live message comes out, no removed one does, and the index is not rewritten.
TEST_F(StoreToolTest, ConvertFindsEveryLiveMessageTheIndexMisses)
{
    const std::string appended1 = "From: n@x.jp\r\nSubject: appended one\r\nDate: d\r\n\r\nnew\r\n.\r\n";
    const std::string appended2 = "From: n@x.jp\r\nSubject: appended two\r\nDate: d\r\n\r\nnew\r\n.\r\n";
    // One line that only each message holds (the mbox writer unfolds headers).
    const std::string m0 = "Message-ID: <m1@x.jp>", m1 = "In-Reply-To: <m1@x.jp>", m2 = "Subject: third";
    const std::string a1 = "Subject: appended one", a2 = "Subject: appended two";
    struct Case {
        const char* what;
        std::string options;    // make-store
        bool lowerCount;        // count 3 written as 2
        std::string appended;   // stored after the index was saved
        std::vector<std::string> live, removed;
    } cases[] = {
        {"count lowered by a damaged byte", "", true, "", {m0, m1, m2}, {}},
        {"messages stored after the index", "--removed=1", false, appended1 + "\r\n" + appended2,
         {m0, m2, a1, a2}, {m1}},
        {"removed last message, then one stored", "--removed=2", false, appended1, {m0, m1, a1}, {m2}},
        {"index of removed messages only, then one stored", "--removed=0,1,2", false, appended2, {a2}, {m0, m1, m2}},
    };
    int run = 0;
    for (const Case& c : cases) {
        Make(c.options);
        const std::string tray = tm.Host(GetTrayFolderPath("C:\\Store", "受信トレイ"));
        std::string index = tm.ReadFile(GetTrayFolderPath("C:\\Store", "受信トレイ") + kIndexFileName);
        ASSERT_EQ(index.substr(0, 4), std::string("\x03\0\0\0", 4)) << c.what;
        if (c.lowerCount) {
            index[0] = '\x02';
            WriteHost(tray + "/vmmail.idx", index);
        }
        if (!c.appended.empty())
            std::ofstream(tray + "/Message Storage.mbx", std::ios::binary | std::ios::app) << c.appended;

        const std::string out = tm.root() + "/tail" + std::to_string(run++);
        fs::create_directories(out);
        std::string printed;
        EXPECT_EQ(RunTool("convert --store '" + tm.Host("C:\\Store") + "' --format 1 --trays '" + Utf8(u8"受信トレイ") +
                              "' --out '" + out + "'",
                          &printed),
                  0)
            << c.what << printed;
        std::ifstream in(out + "/" + Utf8(u8"受信トレイ") + ".mbx", std::ios::binary);
        const std::string mbox((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        size_t separators = 0;
        for (size_t at = mbox.find("From ???@??? "); at != std::string::npos; at = mbox.find("From ???@??? ", at + 1))
            ++separators;
        EXPECT_EQ(separators, c.live.size()) << c.what;
        for (const std::string& line : c.live)
            EXPECT_NE(mbox.find(line + "\r\n"), std::string::npos) << c.what << ": " << line;
        for (const std::string& line : c.removed)
            EXPECT_EQ(mbox.find(line + "\r\n"), std::string::npos) << c.what << ": " << line;
        EXPECT_EQ(tm.ReadFile(GetTrayFolderPath("C:\\Store", "受信トレイ") + kIndexFileName), index) << c.what;   // not rewritten
    }
}

// Tray names that are no single folder are refused before anything is written.
TEST_F(StoreToolTest, ConvertRefusesTrayNamesOutsideTheStore)
{
    Make("");
    const std::string out = tm.root() + "/refused";
    fs::create_directories(out);
    const std::vector<std::string> refused = {"..", ".", "../" + Utf8(u8"受信トレイ"), "a\\b", "x:y",
                                              Utf8(u8"受信トレイ") + ",..", ","};
    for (const std::string& trays : refused) {
        std::string printed;
        EXPECT_EQ(RunTool("convert --store '" + tm.Host("C:\\Store") + "' --format 2 --trays '" + trays + "' --out '" +
                              out + "'",
                          &printed),
                  2)
            << trays;
        EXPECT_TRUE(fs::is_empty(out)) << trays;
    }
}

TEST(VmToolCodingTest, Jis2SjisStreamsAsOneConversion)
{
    // Kanji pairs, escapes and a kana shift cut at every 1 MiB block end.
    std::string jis = "\x1b$B";
    while (jis.size() < (3u << 20) + 7)
        jis += "0!";
    jis += "\x1b(Bab\x0e\x31\x0f\x1b$B0!\x1b(B\r\n";
    const fs::path in = fs::temp_directory_path() / ("jis-in-" + std::to_string(::getpid()));
    for (std::size_t shift : {0, 1, 2}) {
        WriteHost(in, std::string(shift, 'x') + jis);
        std::string out;
        ASSERT_EQ(RunTool("jis2sjis < '" + in.string() + "'", &out), 0);
        CString expected(std::string(shift, 'x') + jis);
        ConvertStringJisToSjis(expected);
        EXPECT_EQ(out, expected.Str()) << shift;
    }
    fs::remove(in);
}

// The UNIX mbox writer, whole conversions.
#include <csignal>
#include <sys/resource.h>

#include "tests/WriterFixture.h"
#include "writers/Writers.h"

using namespace writer_test;

namespace {

const std::string kSep = "From ???@??? Mon Jan  6 09:05:03 2003\r\n";

class MboxWriterTest : public WriterFixture {};

}  // namespace

TEST_F(MboxWriterTest, ConvertsLiveMessagesInOrderWithProgress)
{
    MakeTray("受信トレイ", {{Message("one")}, {Message("gone"), "", kIndexFlagRemoved}, {Message("two", "From here\r\n")}});
    MakeTray("仕事", {{Message("removed"), "", kIndexFlagRemoved}});
    MakeTray("個人", {{"From ???@??? Sun Jan  5  1: 2: 3 2003\r\n" + Message("three")}});
    Select({"受信トレイ", "仕事", "個人"});
    job.format = kFormatMbox;

    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(errorCode, 0);
    EXPECT_EQ(tm.ReadFile("C:\\out\\受信トレイ.mbx"),
              kSep + InMailbox("one") + kSep + InMailbox("two", ">From here\r\n"));
    EXPECT_EQ(tm.ReadFile("C:\\out\\仕事.mbx"), "");   // no live record: empty file
    EXPECT_EQ(tm.ReadFile("C:\\out\\個人.mbx"), "From ???@??? Sun Jan  5  1: 2: 3 2003\r\n" + InMailbox("three"));
    EXPECT_EQ(progress.events, (std::vector<std::string>{"create", "begin 受信トレイ 2", "set 1", "set 2",
                                                         "begin 仕事 0", "begin 個人 1", "set 1", "destroy"}));

    // Python's mbox reader sees exactly the live messages.
    EXPECT_EQ(ReadBack("mbox", {tm.Host("C:\\out\\受信トレイ.mbx"), tm.Host("C:\\out\\個人.mbx")}),
              "one|0\ntwo|1\nthree|0\n");

    // Run twice: a numbered file; the first stays as it was.
    progress.events.clear();
    Select({"個人"});
    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(tm.ReadFile("C:\\out\\個人[01].mbx"), tm.ReadFile("C:\\out\\個人.mbx"));
}

TEST_F(MboxWriterTest, TrayFailures)
{
    // Storage missing under an index without live records: the tray's
    // output goes, the next tray is converted.
    MakeTray("a", {{Message("1"), "", kIndexFlagRemoved}});
    std::filesystem::remove(tm.Host("C:\\Store\\Data\\MailBox\\a\\Message Storage.mbx"));
    MakeTray("b", {{Message("2")}});
    Select({"a", "b"});
    job.format = kFormatMbox;
    EXPECT_EQ(Write(), 1);
    EXPECT_FALSE(tm.Exists("C:\\out\\a.mbx"));
    EXPECT_EQ(tm.ReadFile("C:\\out\\b.mbx"), kSep + InMailbox("2"));

    // Storage missing while the index lists live messages: a file error.
    MakeTray("c", {{Message("3")}});
    std::filesystem::remove(tm.Host("C:\\Store\\Data\\MailBox\\c\\Message Storage.mbx"));
    Select({"c"});
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(errorCode, kErrorFile);
    EXPECT_FALSE(tm.Exists("C:\\out\\c.mbx"));
    errorCode = 0;

    // Output not creatable: file error, the window destroyed.
    progress.events.clear();
    job.outputDir = "C:\\missing\\folder";
    Select({"b"});
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(errorCode, kErrorFile);
    EXPECT_EQ(progress.events, (std::vector<std::string>{"create", "begin b 1", "destroy"}));
}

TEST_F(MboxWriterTest, MessagesThatWouldBeLostAreKept)
{
    MakeTray("t", {
        {"Subject: no end\r\nX: 1\r\n"},                          // no empty line: written whole
        {"Subject: bare\nX: 1\n\nFrom lf\nbody\n"},                // bare LF: header ends at "\n\n"
        {"Subject: last\r\n\r\nno final line end"},                // next separator on its own line
        {Message("after")},
    });
    Select({"t"});
    job.format = kFormatMbox;
    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(tm.ReadFile("C:\\out\\t.mbx"),
              kSep + "Subject: no end\r\nX: 1\r\n" + kSep + "Subject: bare\nX: 1\n\n>From lf\nbody\n" + kSep +
                  "Subject: last\r\n\r\nno final line end\r\n" + kSep + InMailbox("after"));
    EXPECT_EQ(ReadBack("mbox", {tm.Host("C:\\out\\t.mbx")}), "no end|0\nbare|1\nlast|0\nafter|0\n");
}

TEST_F(MboxWriterTest, WriteFailureEndsWithFileError)
{
    MakeTray("t", {{Message("big", std::string(200000, 'x') + "\r\n")}});
    Select({"t"});
    job.format = kFormatMbox;
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 65536;
    setrlimit(RLIMIT_FSIZE, &small);
    const int result = Write();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(errorCode, kErrorFile);
    EXPECT_EQ(progress.events.back(), "destroy");
}

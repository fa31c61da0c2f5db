// The Netscape Mail writer: mailboxes without extension, "From - " separators.
#include "tests/WriterFixture.h"
#include "writers/Writers.h"

using namespace writer_test;

namespace {
class NetscapeWriterTest : public WriterFixture {};
}  // namespace

TEST_F(NetscapeWriterTest, WritesBesideExistingMailboxes)
{
    tm.WriteFile("C:\\out\\受信トレイ", "old mailbox");
    tm.WriteFile("C:\\out\\受信トレイ.msf", "old summary");
    MakeTray("受信トレイ", {{Message("one", "From here\r\n")},
                            {"From ???@??? Sun Jan  5  1: 2: 3 2003\r\n" + Message("two")}});
    MakeTray("a.b", {{Message("x"), "", kIndexFlagRemoved}});
    Select({"受信トレイ", "a.b"});
    job.format = kFormatNetscape;

    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(errorCode, 0);
    EXPECT_EQ(tm.ReadFile("C:\\out\\受信トレイ"), "old mailbox");
    EXPECT_EQ(tm.ReadFile("C:\\out\\受信トレイ.msf"), "old summary");
    EXPECT_EQ(tm.ReadFile("C:\\out\\受信トレイ[01]"),
              "From - Mon Jan  6 09:05:03 2003\r\n" + InMailbox("one", ">From here\r\n") +
                  "From ???@??? Sun Jan  5  1: 2: 3 2003\r\n" + InMailbox("two"));
    EXPECT_EQ(tm.ReadFile("C:\\out\\a.b"), "");   // no live record: empty mailbox
    EXPECT_EQ(progress.events, (std::vector<std::string>{"create", "begin 受信トレイ 2", "set 1", "set 2",
                                                         "begin a.b 0", "destroy"}));
    EXPECT_EQ(ReadBack("mbox", {tm.Host("C:\\out\\受信トレイ[01]")}), "one|1\ntwo|0\n");
}

// The Eudora writer: mailboxes of header and first text part in Shift_JIS.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "coding/MimePart.h"
#include "framework/Ui.h"
#include "tests/WriterFixture.h"
#include "writers/EudoraWriter.h"
#include "writers/Writers.h"

namespace {

using writer_test::StoredMessage;

const char kSeparator[] = "From ???@??? Mon Jan  6 09:05:03 2003\r\n";
const char kRelabelled[] = "Content-type: text/plain; charset=\"ISO-2022-JP\"\r\n";
const std::string kEnd = "\r\n.\r\n\r\n";
const char kInbox[] = "受信トレイ";
const CString kMailbox = CString("C:\\out\\") + kInbox + ".mbx";
// テスト, 本文です in ISO-2022-JP.
const std::string kJisTest = "\x1b$B%F%9%H\x1b(B";
const std::string kJisBody = "\x1b$BK\\J8$G$9\x1b(B";

std::string Repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

struct EudoraFixture : writer_test::WriterFixture {
    std::vector<CString> messageBoxes;

    EudoraFixture()
    {
        job.format = kFormatEudora;
        SetMessageBoxHandler([this](const CString& text, UINT) {
            messageBoxes.push_back(text);
            return kIdOk;
        });
        // Messages are parsed in memory: nothing is written in the temporary
        // folder, not even through a link lying there under a fixed name.
        tm.WriteFile("C:\\victim.txt", "victim");
        std::filesystem::create_symlink(tm.Host("C:\\victim.txt"), tm.Host("C:\\Temp\\mime.txt"));
    }
    ~EudoraFixture() override { SetMessageBoxHandler(nullptr); }

    // Converts one inbox holding the messages; answers the mailbox (which
    // is removed again, so that the next run writes the same name).
    std::string Convert(const std::vector<StoredMessage>& messages)
    {
        MakeTray(kInbox, messages);
        Select({kInbox});
        EXPECT_EQ(Write(), 1);
        EXPECT_TRUE(TempFolderUntouched());
        std::string out = tm.ReadFile(kMailbox);
        std::remove(tm.Host(kMailbox).c_str());
        return out;
    }
    std::string Convert(const std::string& message) { return Convert(std::vector<StoredMessage>{{message}}); }

    bool TempFolderUntouched() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(tm.Host("C:\\Temp")))
            names.push_back(entry.path().filename().string());
        return names == std::vector<std::string>{"mime.txt"} && tm.ReadFile("C:\\victim.txt") == "victim";
    }
};

}  // namespace

TEST_F(EudoraFixture, EmptyTrayGivesEmptyMailboxAndTakenNamesAreNumbered)
{
    tm.WriteFile(kMailbox, "old mailbox");
    MakeTray(kInbox, {});
    Select({kInbox});
    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(tm.ReadFile(kMailbox), "old mailbox");
    EXPECT_EQ(tm.ReadFile(CString("C:\\out\\") + kInbox + "[01].mbx"), "");
}

TEST_F(EudoraFixture, SeparatorOnlyWhenTheHeaderHasNone)
{
    EXPECT_EQ(Convert("Subject: a\r\n\r\nbody\r\n.\r\n"),
              kSeparator + std::string("Subject: a\r\n\r\nbody\r\n") + kEnd);
    // A stored separator stays and gets no second one.
    EXPECT_EQ(Convert("From ???@??? Sun Feb  2 10:00:00 2003\r\nSubject: a\r\n\r\nb\r\n.\r\n"),
              "From ???@??? Sun Feb  2 10:00:00 2003\r\nSubject: a\r\n\r\nb\r\n" + kEnd);
    EXPECT_EQ(Convert(" \t\r\n XXFrom ???@??? x\r\n\r\n"), "From ???@??? x\r\n\r\n" + kEnd);
    // The marker inside a field is no separator line.
    EXPECT_EQ(Convert("Subject: From ???@??? x\r\n\r\n"), kSeparator + std::string("Subject: From ???@??? x\r\n\r\n") + kEnd);
}

TEST_F(EudoraFixture, MessagesByKind)
{
    // Multiparts nested one level deeper than the parser splits, text at the
    // bottom: the whole body is written.
    std::string deepHead, deepTail;
    for (int i = 0; i <= kMaxMimeDepth; ++i) {
        const std::string b = "q" + std::to_string(i) + "z";
        deepHead += "Content-Type: multipart/mixed; boundary=" + b + "\r\n\r\n--" + b + "\r\n";
        deepTail = "\r\n--" + b + "--" + deepTail;
    }
    const std::string deep = deepHead + "\r\ndeep text" + deepTail + "\r\n.\r\n";
    const std::size_t deepBodyStart = deep.find("\r\n\r\n") + 4;
    const std::string deepBody = deep.substr(deepBodyStart, deep.size() - deepBodyStart - 3);
    // So many parts that the first one, a multipart, is left unsplit.
    std::string many = "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
                       "Content-Type: multipart/alternative; boundary=i\r\n\r\n--i\r\n\r\nfirst\r\n--i--\r\n";
    for (int i = 0; i < kMaxMimeParts; ++i)
        many += "--b\r\n\r\n" + std::to_string(i) + "\r\n";
    many += "--b--\r\n.\r\n";
    const std::size_t manyBodyStart = many.find("\r\n\r\n") + 4;
    const std::string manyBody = many.substr(manyBodyStart, many.size() - manyBodyStart - 3);

    struct Case {
        const char* name;
        std::string message;
        std::string header;   // after the separator
        std::string body;
    } cases[] = {
        {"plain ISO-2022-JP",
         "Subject: " + kJisTest + "\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n" + kJisBody +
             "\r\nline 2\r\n.\r\n",
         "Subject: テスト\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n", "本文です\r\nline 2\r\n"},
        {"alternative",
         "Subject: alt\r\nContent-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n"
         "--b1\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n" + kJisBody + "\r\n"
         "--b1\r\nContent-Type: text/html\r\n\r\n<p>html</p>\r\n--b1--\r\n.\r\n",
         std::string("Subject: alt\r\n") + kRelabelled + "\r\n", "本文です"},
        {"html only",
         "Content-Type: text/html; charset=iso-2022-jp\r\n\r\n<html>\r\n<p>x</p>\r\n</html>\r\n.\r\n",
         std::string(kRelabelled) + "\r\n", "<html>\r\n<p>x</p>\r\n</html>\r\n"},
        {"attachment first",
         "Content-Type: multipart/mixed; boundary=zz\r\n\r\n"
         "--zz\r\nContent-Type: application/octet-stream\r\n\r\nAAAA\r\n"
         "--zz\r\nContent-Type: text/plain\r\n\r\ntext\r\n--zz--\r\n.\r\n",
         std::string(kRelabelled) + "\r\n", ""},
        {"base64 text part",
         "Content-Type: multipart/mixed; boundary=zz\r\n\r\n"
         "--zz\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\n"
         "GyRCS1xKOCRHJDkbKEI=\r\n--zz--\r\n.\r\n",
         std::string(kRelabelled) + "\r\n", "GyRCS1xKOCRHJDkbKEI="},
        {"dot lines", "Subject: d\r\n\r\na\r\n.\r\n..\r\n.x\r\n.\r\n", "Subject: d\r\n\r\n", "a\r\n..\r\n.x\r\n"},
        {"folded encoded subject",
         "Subject: =?ISO-2022-JP?B?GyRCN29MPhsoQg==?=\r\n =?iso-2022-jp?B?GyRCJUYlOSVIGyhC?=\r\n\r\nx\r\n.\r\n",
         "Subject: 件名テスト\r\n\r\n", "x\r\n"},
        // The empty line ends the header even when an indented line follows.
        {"encoded word after an empty line and a TAB",
         "Subject: a\r\n\r\n\t=?iso-2022-jp?B?GyRCJUYlOSVIGyhC?=\r\n\r\nbody",
         "Subject: a\r\n\r\n", "\t=?iso-2022-jp?B?GyRCJUYlOSVIGyhC?=\r\n\r\nbody"},
        {"zero byte cuts a body line", std::string("S: z\r\n\r\nab\0cd\r\nef\r\n", 19), "S: z\r\n\r\n",
         "abef\r\n"},
        {"zero bytes in several lines, one far on in a long line",
         std::string("S: z\r\n\r\na\0b\r\nc\0d\r\n", 18) + std::string(70000, 'x') + std::string("\0y\r\ne\r\n", 7),
         "S: z\r\n\r\n", "ac" + std::string(70000, 'x') + "e\r\n"},
        // The body is converted as one text: a kanji pair without a Shift_JIS
        // code becomes the geta mark, an escape sequence or a pair may
        // straddle the pieces of a long line or of the conversion.
        {"kanji pair without a Shift_JIS code: the geta mark",
         "S: z\r\n\r\nab\x1b$B\x9f\x21\x1b(Bcd\r\nef\r\n.\r\n", "S: z\r\n\r\n", "ab\x81\xac" "cd\r\nef\r\n"},
        {"escape sequence across the pieces of a long line",
         "S: z\r\n\r\n" + std::string(4094, 'x') + "\x1b$B\x30\x21\x1b(B\r\n", "S: z\r\n\r\n",
         std::string(4094, 'x') + "\x88\x9f\r\n"},
        {"kanji pairs across the pieces of conversion", "S: z\r\n\r\nab\x1b$B" + Repeat("\x30\x21", 40000) + "\x1b(B\r\n",
         "S: z\r\n\r\n", "ab" + Repeat("\x88\x9f", 40000) + "\r\n"},
        // Mend: a multipart cut short is written as one text part.
        {"multipart without closing delimiter",
         "Subject: cut\r\nContent-Type: multipart/mixed; boundary=zz\r\n\r\n"
         "--zz\r\nContent-Type: text/plain\r\n\r\nfirst\r\n.\r\n",
         std::string("Subject: cut\r\n") + kRelabelled + "\r\n",
         "--zz\r\nContent-Type: text/plain\r\n\r\nfirst\r\n"},
        // Mend: no empty line after the header: the header is kept.
        {"no header end", "Subject: a\r\nX-Cut: b", "Subject: a\r\nX-Cut: b", ""},
        {"bare LF lines", "Subject: a\nTo: b\n\nbody\n", "Subject: a\nTo: b\n\nbody\n", ""},
        // Mend: a MIME structure that cannot be used gives the whole body as
        // text, as for a message without one.
        {"MIME-Version 1.1: the top part has no media type",
         "MIME-Version: 1.1\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n.\r\n",
         std::string("MIME-Version: 1.1\r\n") + kRelabelled + "\r\n", "<p>x</p>\r\n"},
        {"a field before Content-Type fails",
         "Content-Disposition: inline; filename=\"open\r\nContent-Type: multipart/mixed; boundary=zz\r\n\r\n"
         "--zz\r\n\r\ntext\r\n--zz--\r\n.\r\n",
         std::string("Content-Disposition: inline; filename=\"open\r\n") + kRelabelled + "\r\n",
         "--zz\r\n\r\ntext\r\n--zz--\r\n"},
        {"nested beyond the bound", deep, std::string(kRelabelled) + "\r\n", deepBody},
        {"beyond the part limit", many, std::string(kRelabelled) + "\r\n", manyBody},
        // Mend: a raw Shift_JIS file name no longer fails its field.
        {"raw Shift_JIS file name before Content-Type",
         "Content-Disposition: inline; filename=\"予定表\"\r\nContent-Type: multipart/mixed; boundary=zz\r\n\r\n"
         "--zz\r\nContent-Type: text/plain\r\n\r\n" + kJisBody + "\r\n--zz--\r\n.\r\n",
         std::string("Content-Disposition: inline; filename=\"予定表\"\r\n") + kRelabelled + "\r\n", "本文です"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Convert(c.message), kSeparator + c.header + c.body + kEnd) << c.name;
}

TEST_F(EudoraFixture, RemovedRecordsAreLeftOutAndTheBarCountsLiveOnes)
{
    std::string out = Convert({{"Subject: 1\r\n\r\n"}, {"Subject: 2\r\n\r\n", "", 0x10}, {"Subject: 3\r\n\r\n"}});
    EXPECT_EQ(out, kSeparator + std::string("Subject: 1\r\n\r\n") + kEnd + kSeparator + "Subject: 3\r\n\r\n" + kEnd);
    EXPECT_EQ(progress.events,
              (std::vector<std::string>{"create", "begin " + std::string(kInbox) + " 2", "set 1", "set 2", "destroy"}));
}

TEST_F(EudoraFixture, TrayFailures)
{
    // No storage file for a tray without live messages: that tray's mailbox
    // is removed, the next tray is done.
    MakeTray("a", {{"Subject: 1\r\n\r\n", "", 0x10}});
    MakeTray("b", {{"Subject: 2\r\n\r\n"}});
    std::remove(tm.Host(GetTrayFolderPath(job.storeDir, "a") + kStorageFileName).c_str());
    Select({"a", "b"});
    EXPECT_EQ(Write(), 1);
    EXPECT_FALSE(tm.Exists("C:\\out\\a.mbx"));
    EXPECT_EQ(tm.ReadFile("C:\\out\\b.mbx"), kSeparator + std::string("Subject: 2\r\n\r\n") + kEnd);

    // Without the storage file of live messages: a file error, nothing lost
    // silently.
    std::remove(tm.Host("C:\\out\\b.mbx").c_str());
    std::remove(tm.Host(GetTrayFolderPath(job.storeDir, "b") + kStorageFileName).c_str());
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(errorCode, kErrorFile);
    EXPECT_FALSE(tm.Exists("C:\\out\\b.mbx"));

    // The mailbox cannot be created.
    job.outputDir = "C:\\NoSuchFolder";
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(errorCode, kErrorFile);
}

TEST_F(EudoraFixture, WriteFailuresAreFileErrors)
{
    MakeTray(kInbox, {{"Subject: 1\r\n\r\nbody\r\n.\r\n"}});
    Select({kInbox});

    // No file is written but the mailbox.
    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(tm.ReadFile(kMailbox), kSeparator + std::string("Subject: 1\r\n\r\nbody\r\n") + kEnd);
    std::remove(tm.Host(kMailbox).c_str());

    // The mailbox fills the disk at the second message.
    errorCode = 0;
    const std::string big = "Subject: big\r\n\r\n" + std::string(3000, 'x') + "\r\n.\r\n";
    MakeTray(kInbox, {{big}, {big}});
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 5000;
    setrlimit(RLIMIT_FSIZE, &small);
    int result = Write();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(errorCode, kErrorFile);
    EXPECT_TRUE(TempFolderUntouched());
}

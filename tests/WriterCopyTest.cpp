// CopyStoredMessage: one stored message to output bytes.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

#include "framework/File.h"
#include "tests/TestSupport.h"
#include "store/MailIndexData.h"
#include "writers/CopyMessage.h"
#include "writers/StoredMessage.h"

namespace {

const std::string kSep = "From ???@??? Mon Jan  6 09:05:03 2003\r\n";

class CopyTest : public ::testing::Test {
protected:
    CopyTest()
    {
        tm.machine().clock = platform::LocalTime{2003, 1, 6, 1, 9, 5, 3};
        tm.Apply();
    }

    // Stores text at offset 3 of a storage file and copies [3, 3 + length).
    std::string Copy(const std::string& text, bool mailbox = false, long length = -1,
                     const char* format = kMboxSeparatorFormat, bool* result = nullptr, CString* date = nullptr)
    {
        tm.WriteFile("C:\\s.mbx", "xyz" + text);
        CFile storage, out;
        EXPECT_TRUE(storage.Open("C:\\s.mbx", CFile::modeRead));
        EXPECT_TRUE(out.Open("C:\\o", CFile::modeCreate | CFile::modeWrite));
        CMailIndexData rec;
        rec.m_dwStart = 3;
        rec.m_dwEnd = static_cast<DWORD>(3 + (length < 0 ? static_cast<long>(text.size()) : length));
        CStoredMessage stored;
        EXPECT_TRUE(stored.Read(storage, rec));
        {
            CMessageOutput o;
            CMessageOutput::Binding binding(o, out);
            const bool r = CopyStoredMessage(stored, format, o, mailbox, date);
            if (result)
                *result = r;
        }
        out.Close();
        return tm.ReadFile("C:\\o");
    }

    TempMachine tm;
};

}  // namespace

TEST_F(CopyTest, SeparatorMarkerUnfoldingTerminatorAndQuoting)
{
    struct Case {
        std::string stored, written;
        bool mailbox = false;   // into a mailbox (mbox, Netscape), else a message file (eml)
    } cases[] = {
        // No marker: a separator with the local time, asctime form.
        {"Subject: a\r\n\r\nbody\r\n", kSep + "Subject: a\r\n\r\nbody\r\n"},
        // Marker at the start: kept, no second separator.
        {"From ???@??? Sun Jan  5 1:2:3 2003\r\nS: a\r\n\r\nb\r\n", "From ???@??? Sun Jan  5 1:2:3 2003\r\nS: a\r\n\r\nb\r\n"},
        // Marker at the third byte (after leading white space goes): two bytes dropped.
        {"\r\n \tXXFrom ???@??? x\r\n\r\nb\r\n", "From ???@??? x\r\n\r\nb\r\n"},
        // Marker anywhere else in the header: a separator all the same, so
        // the message is never merged into the one before it.
        {"X: 1\r\nY: From ???@??? \r\n\r\nb\r\n", kSep + "X: 1\r\nY: From ???@??? \r\n\r\nb\r\n"},
        {"Subject: Re: From ???@??? spoof\r\n\r\nb\r\n", kSep + "Subject: Re: From ???@??? spoof\r\n\r\nb\r\n", true},
        // Marker only in the body: separator.
        {"X: 1\r\n\r\nFrom ???@??? \r\n", kSep + "X: 1\r\n\r\nFrom ???@??? \r\n"},
        // Folds lose their line ends only; the body keeps its folds.
        {"Subject: a\r\n b\r\n\tc\r\nTo: d\r\n\r\nx\r\n y\r\n", kSep + "Subject: a b\tc\r\nTo: d\r\n\r\nx\r\n y\r\n"},
        {"Received: from x by\r\n cougar.noc.ucla.edu\r\n (Sun Internet Mail)\r\n\r\n",
         kSep + "Received: from x by cougar.noc.ucla.edu (Sun Internet Mail)\r\n\r\n"},
        // An empty line ends the header even when an indented line follows.
        {"A: 1\r\n\r\n b\r\n\r\nbody\r\n", kSep + "A: 1\r\n\r\n b\r\n\r\nbody\r\n"},
        // The store's terminator (and the empty line after it) is no part of
        // the message: into a mailbox an empty line takes its place.
        {"A: 1\r\n\r\nl1\nl2\r\n\r\n.\r\n", kSep + "A: 1\r\n\r\nl1\nl2\r\n\r\n"},
        {"A: 1\r\n\r\nb\r\n.\r\n\r\n", kSep + "A: 1\r\n\r\nb\r\n"},
        {"A: 1\r\n\r\nb\r\n.\r\n\r\n", kSep + "A: 1\r\n\r\nb\r\n\r\n", true},
        {"A: 1\r\n\r\n.\r\n", kSep + "A: 1\r\n\r\n\r\n", true},
        // Other "." lines stay; a range without a last "." line is written as it is.
        {"A: 1\r\n\r\n.x\r\n..\r\n.\r\nb\r\n", kSep + "A: 1\r\n\r\n.x\r\n..\r\n.\r\nb\r\n", true},
        {"A: 1\r\n\r\nb\r\nx.\r\n", kSep + "A: 1\r\n\r\nb\r\nx.\r\n", true},
        {"A: 1\r\n\r\nno end", kSep + "A: 1\r\n\r\nno end", true},
        // mboxrd: every ">*From " line gets one more ">" in a mailbox, header
        // lines too but for the kept separator line; not in a message file.
        {"From ???@??? x\r\nA: From y\r\n\r\nFrom here\r\nnot From\r\n>From there\r\n>>From x\r\n> From\r\n",
         "From ???@??? x\r\nA: From y\r\n\r\n>From here\r\nnot From\r\n>>From there\r\n>>>From x\r\n> From\r\n", true},
        {"From ???@??? x\r\nA: 1\r\n\r\nFrom here\r\n>From x\r\n", "From ???@??? x\r\nA: 1\r\n\r\nFrom here\r\n>From x\r\n"},
        {"A: 1\r\n\r\nx\nFrom y\n", kSep + "A: 1\r\n\r\nx\n>From y\n", true},
        {"From x@y Mon\r\nA: 1\r\n\r\nb\r\n", kSep + ">From x@y Mon\r\nA: 1\r\n\r\nb\r\n", true},
        // Lines found and "From " looked for many bytes at a time: matches
        // after runs of first bytes, at every offset of a block, at the end.
        {"A: 1\r\n\r\n" + std::string(37, 'F') + "\nFrom a\n" + std::string(21, 'x') + "\nFrom b",
         kSep + "A: 1\r\n\r\n" + std::string(37, 'F') + "\n>From a\n" + std::string(21, 'x') + "\n>From b", true},
        {"A: " + std::string(40, 'y') + "\r\n\r\n" + std::string(15, 'z') + "\nFrom \nFrom\nFro",
         kSep + "A: " + std::string(40, 'y') + "\r\n\r\n" + std::string(15, 'z') + "\n>From \nFrom\nFro", true},
        // A zero byte ends the text the header is read from: no header end,
        // the message is written whole (zero byte and all).
        {std::string("A: 1\0B\r\n\r\nFrom x\r\n", 16), kSep + std::string("A: 1\0B\r\n\r\n>From x\r\n", 17), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Copy(c.stored, c.mailbox), c.written) << c.stored;
}

TEST_F(CopyTest, SeparatorFieldsAndFormats)
{
    tm.machine().clock = platform::LocalTime{1999, 12, 31, 5, 23, 59, 58};
    tm.Apply();
    EXPECT_EQ(MakeSeparatorLine(kMboxSeparatorFormat), "From ???@??? Fri Dec 31 23:59:58 1999\r\n");
    EXPECT_EQ(MakeSeparatorLine(kNetscapeSeparatorFormat), "From - Fri Dec 31 23:59:58 1999\r\n");
    tm.machine().clock = platform::LocalTime{2003, 1, 6, 1, 9, 5, 3};
    tm.Apply();
    EXPECT_EQ(Copy("A: 1\r\n\r\n", false, -1, kNetscapeSeparatorFormat), "From - Mon Jan  6 09:05:03 2003\r\nA: 1\r\n\r\n");
}

TEST_F(CopyTest, MessageWithoutHeaderEndIsWrittenWhole)
{
    // No empty line at all.
    EXPECT_EQ(Copy("A: 1\r\nB: 2\r\n"), kSep + "A: 1\r\nB: 2\r\n");
    EXPECT_EQ(Copy("no line end"), kSep + "no line end");
    EXPECT_EQ(Copy("From ???@??? x\r\nA: 1\r\n"), "From ???@??? x\r\nA: 1\r\n");
    // Written whole, its "From " lines are quoted all the same.
    EXPECT_EQ(Copy("A: 1\r\nFrom x\r\n", true), kSep + "A: 1\r\n>From x\r\n");
    EXPECT_EQ(Copy("From ???@??? x\r\nFrom y\r\n.\r\n", true), "From ???@??? x\r\n>From y\r\n\r\n");
    // Bare LF throughout: the header ends at its first empty line.
    EXPECT_EQ(Copy("Subject: a\n b\nX: 1\n\nFrom me\nbody\n", true),
              kSep + "Subject: a b\nX: 1\n\n>From me\nbody\n");
    // An empty range gives a separator only.
    EXPECT_EQ(Copy(""), kSep);
}

TEST_F(CopyTest, RangesAndLongHeaders)
{
    // A range past the end of the file: the missing bytes are zeros.
    EXPECT_EQ(Copy("A: 1\r\n\r\nb", false, 12), kSep + "A: 1\r\n\r\nb" + std::string(3, '\0'));
    // A reversed range reads as nothing to copy.
    bool r = false;
    tm.WriteFile("C:\\s.mbx", "A: 1\r\n\r\n");
    {
        CFile storage;
        ASSERT_TRUE(storage.Open("C:\\s.mbx", CFile::modeRead));
        CMailIndexData rec;
        rec.m_dwStart = 5;
        rec.m_dwEnd = 2;
        CStoredMessage stored;
        EXPECT_TRUE(stored.Read(storage, rec));
        EXPECT_TRUE(stored.Reversed());
        EXPECT_EQ(stored.Length(), 0u);
    }

    // A logical line too long to unfold: the header goes out as stored.
    std::string refs = "References:";
    for (int i = 0; i < 300; ++i)
        refs += "\r\n <message-" + std::to_string(i) + "@example.jp>";
    const std::string stored = "Subject: a\r\n b\r\n" + refs + "\r\n\r\nbody\r\n";
    EXPECT_EQ(Copy(stored, false, -1, kMboxSeparatorFormat, &r), kSep + stored);
    EXPECT_TRUE(r);
}

TEST_F(CopyTest, ReadingAheadGivesWhatTheFileGives)
{
    // Ranges read one after the other through a storage reader (small ones
    // from its block read ahead) come out as each read alone from the file.
    std::string bytes(2 * kStorageReadAhead + 12345, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    tm.WriteFile("C:\\s.mbx", bytes);
    const DWORD size = static_cast<DWORD>(bytes.size());
    const DWORD block = static_cast<DWORD>(kStorageReadAhead);
    struct Range {
        DWORD start, end;
    } ranges[] = {
        {0, 100}, {100, 5000}, {5000, 5000}, {5002, 9000},   // in the first block
        {block - 100, block + 100},                          // past its end: read anew
        {block + 100, block + 200}, {10, 20}, {20, 40},      // back: from the file, then a block
        {40, 40 + block}, {block + 50, block + 60},          // too large for a block
        {size - 10, size + 30}, {size + 5, size + 10},       // past the end of the file
        {60, 10}, {size - 100, size},                        // reversed; the last bytes
    };
    CFile file, alone;
    ASSERT_TRUE(file.Open("C:\\s.mbx", CFile::modeRead));
    ASSERT_TRUE(alone.Open("C:\\s.mbx", CFile::modeRead));
    CStorageReader reader(file);
    CStoredMessage ahead, direct;
    for (const Range& r : ranges) {
        SCOPED_TRACE(std::to_string(r.start) + "-" + std::to_string(r.end));
        CMailIndexData rec;
        rec.m_dwStart = r.start;
        rec.m_dwEnd = r.end;
        ASSERT_TRUE(ahead.Read(reader, rec));
        ASSERT_TRUE(direct.Read(alone, rec));
        EXPECT_EQ(ahead.Reversed(), direct.Reversed());
        EXPECT_EQ(ahead.MissingLength(), direct.MissingLength());
        ASSERT_EQ(ahead.Length(), direct.Length());
        EXPECT_EQ(std::string(ahead.Data(), ahead.Length() + 1), std::string(direct.Data(), direct.Length() + 1));
    }
}

TEST_F(CopyTest, TheHeadersFirstDateFieldIsReported)
{
    std::string refs = "References:";
    for (int i = 0; i < 300; ++i)
        refs += "\r\n <message-" + std::to_string(i) + "@example.jp>";
    struct Case {
        std::string stored;
        const char* date;
    } cases[] = {
        {"Subject: a\r\nDate: Mon, 6 Jan 2003\r\n 09:05 +0900\r\n\r\nb\r\n", " Mon, 6 Jan 2003 09:05 +0900"},
        {"X-Date: 1\r\nDATE :x\r\nDate: 2\r\n\r\n", "x"},              // the first one, any case
        {"From ???@??? x\ndate:\t1\nA: 2\n\n", "\t1"},                  // bare LF
        {"Date: 1\r\nA: no header end\r\n", " 1"},
        {refs + "\r\nDate: 1\r\n\r\n", " 1"},                          // after a line too long
        {"Dated: 1\r\nDat: 2\r\n\r\nDate: body\r\n", ""},             // not in the body
        {"Date: " + std::string(5000, '1') + "\r\nDate: 2\r\n\r\n", ""},   // too long itself
        {"", ""},
    };
    for (const Case& c : cases) {
        CString date = "stale";
        const std::string written = Copy(c.stored, false, -1, kMboxSeparatorFormat, nullptr, &date);
        EXPECT_EQ(date, c.date) << c.stored.substr(0, 60);
        EXPECT_EQ(written, Copy(c.stored)) << c.stored.substr(0, 60);   // the bytes are the same
    }
}

TEST_F(CopyTest, WriteFailureIsReported)
{
    CMailIndexData rec;
    // Writes beyond a file size limit fail.
    tm.WriteFile("C:\\s.mbx", "A: 1\r\n\r\n" + std::string(300000, 'x'));
    CFile s2, o2;
    rec.m_dwStart = 0;
    ASSERT_TRUE(s2.Open("C:\\s.mbx", CFile::modeRead));
    ASSERT_TRUE(o2.Open("C:\\o", CFile::modeCreate | CFile::modeWrite));
    rec.m_dwEnd = 300008;
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 65536;
    setrlimit(RLIMIT_FSIZE, &small);
    bool r = true;
    {
        CStoredMessage stored;
        ASSERT_TRUE(stored.Read(s2, rec));
        CMessageOutput o;
        CMessageOutput::Binding binding(o, o2);
        r = CopyStoredMessage(stored, kMboxSeparatorFormat, o, false) && o.Flush();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(r);
}

TEST_F(CopyTest, ReadFailureIsReported)
{
    // A file that reads back fewer bytes than its length claims (sysfs
    // reports 4096 bytes for "0-1\n").
    if (!std::filesystem::exists("/sys/devices/system/cpu/online"))
        GTEST_SKIP() << "no sysfs";
    tm.machine().drives['S'] = "/sys/devices/system/cpu";
    tm.Apply();
    CFile storage, out;
    ASSERT_TRUE(storage.Open("S:\\online", CFile::modeRead));
    ASSERT_TRUE(out.Open("C:\\o", CFile::modeCreate | CFile::modeWrite));
    if (storage.GetLength() < 100)
        GTEST_SKIP() << "sysfs reports the real length";
    CMailIndexData rec;
    rec.m_dwEnd = 100;
    CStoredMessage stored;
    EXPECT_FALSE(stored.Read(storage, rec));
    CStorageReader reader(storage);   // and through a block read ahead
    EXPECT_FALSE(stored.Read(reader, rec));
}

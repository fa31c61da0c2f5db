// Rebuilding index records from a tray's message storage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "store/MailIndexLoader.h"
#include "store/StorageScan.h"
#include "store/TrayList.h"
#include "tests/TestSupport.h"

namespace {

// Every scan runs with the normal buffer and with tiny ones, so that lines
// cut at block edges and lines longer than the buffer take the other paths;
// all must agree.
CMailIndexList Scan(const std::string& bytes, std::uint64_t start = 0, DWORD firstNumber = 0)
{
    CMailIndexList first;
    bool haveFirst = false;
    for (size_t block : {kStorageScanBlock, size_t{1}, size_t{3}, size_t{16}}) {
        CMemoryStorageSource source(bytes.data(), bytes.size());
        CMailIndexList records;
        const StorageScanResult scan = ScanMessageStorage(source, start, firstNumber, records, block);
        EXPECT_TRUE(scan.complete);
        EXPECT_EQ(scan.next, firstNumber + records.size());
        if (!haveFirst) {
            first = std::move(records);
            haveFirst = true;
            continue;
        }
        EXPECT_EQ(records.size(), first.size()) << "block " << block;
        for (size_t i = 0; i < std::min(records.size(), first.size()); ++i) {
            const CMailIndexData& a = *first[i];
            const CMailIndexData& b = *records[i];
            EXPECT_TRUE(a.m_nNumber == b.m_nNumber && a.m_strSubject == b.m_strSubject && a.m_strFrom == b.m_strFrom &&
                        a.m_strTo == b.m_strTo && a.m_strCc == b.m_strCc && a.m_strBcc == b.m_strBcc &&
                        a.m_strReplyTo == b.m_strReplyTo && a.m_strDate == b.m_strDate &&
                        a.m_strMessageId == b.m_strMessageId && a.m_strInReplyTo == b.m_strInReplyTo &&
                        a.m_dwFlags == b.m_dwFlags && a.m_dwStart == b.m_dwStart && a.m_dwEnd == b.m_dwEnd &&
                        a.m_dwMark == b.m_dwMark)
                << "block " << block << " record " << i;
        }
    }
    return first;
}

std::vector<std::pair<DWORD, DWORD>> Ranges(const CMailIndexList& records)
{
    std::vector<std::pair<DWORD, DWORD>> out;
    for (const auto& r : records)
        out.emplace_back(r->m_dwStart, r->m_dwEnd);
    return out;
}

const std::string kMsg1 = "From: a@example.jp\r\nSubject: one\r\nDate: d1\r\n\r\nbody\r\n.\r\n";
const std::string kMsg2 = "From: b@example.jp\r\nSubject: two\r\n\r\nline\r\n.\r\n";

}  // namespace

TEST(RebuildScanTest, MessageRangesAndSeparators)
{
    const DWORD n1 = static_cast<DWORD>(kMsg1.size()), n2 = static_cast<DWORD>(kMsg2.size());
    struct Case {
        const char* what;
        std::string storage;
        std::vector<std::pair<DWORD, DWORD>> ranges;
    } cases[] = {
        {"empty line between", kMsg1 + "\r\n" + kMsg2 + "\r\n", {{0, n1}, {n1 + 2, n1 + 2 + n2}}},
        {"no empty line between", kMsg1 + kMsg2, {{0, n1}, {n1, n1 + n2}}},
        {"no dot at the end", kMsg1 + "\r\n" + "Subject: x\r\n\r\nbody", {{0, n1}, {n1 + 2, n1 + 2 + 18}}},
        {"empty lines after the last dot", kMsg1 + "\r\n\r\n\r\n", {{0, n1}, {n1 + 2, n1 + 6}}},
        {"bare LF line ends", "Subject: x\n\nb\n.\n\nSubject: y\n\n.\n", {{0, 16}, {16, 31}}},   // only CR is skipped
        {"line after dot that begins with CR", kMsg1 + "\rX\r\n.\r\n", {{0, n1}, {n1 + 2, n1 + 7}}},
        {"dot with a blank is body", "Subject: x\r\n\r\n. \r\n.\r\n", {{0, 21}}},
    };
    for (const Case& c : cases) {
        CMailIndexList records = Scan(c.storage);
        EXPECT_EQ(Ranges(records), c.ranges) << c.what;
        for (size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i]->m_nNumber, i) << c.what;
            EXPECT_TRUE(records[i]->m_dwFlags & kIndexFlagRebuilt) << c.what;
        }
    }
    // The extra record after the last dot has empty texts.
    CMailIndexList extra = Scan(kMsg1 + "\r\n\r\n\r\n");
    ASSERT_EQ(extra.size(), 2u);
    EXPECT_EQ(extra[1]->m_strSubject, "");
    EXPECT_EQ(extra[1]->m_strFrom, "");
    EXPECT_EQ(extra[1]->m_dwFlags, kIndexFlagRebuilt);
}

// A scan from an offset (where messages stored after an index's last range
// begin) gives absolute ranges, numbered on from the given number.
TEST(RebuildScanTest, ScanFromAnOffset)
{
    const DWORD n1 = static_cast<DWORD>(kMsg1.size()), n2 = static_cast<DWORD>(kMsg2.size());
    struct Case {
        const char* what;
        std::string storage;
        std::uint64_t start;
        std::vector<std::pair<DWORD, DWORD>> ranges;
    } cases[] = {
        {"second message after the empty line", kMsg1 + "\r\n" + kMsg2, n1 + 2, {{n1 + 2, n1 + 2 + n2}}},
        {"two messages without empty lines", kMsg1 + kMsg2 + kMsg1, n1, {{n1, n1 + n2}, {n1 + n2, 2 * n1 + n2}}},
        {"from 0: the whole storage", kMsg1 + kMsg2, 0, {{0, n1}, {n1, n1 + n2}}},
        {"at the end", kMsg1, n1, {}},
        {"past the end", kMsg1, n1 + 5, {}},
    };
    for (const Case& c : cases) {
        CMailIndexList records = Scan(c.storage, c.start, 7);
        EXPECT_EQ(Ranges(records), c.ranges) << c.what;
        for (size_t i = 0; i < records.size(); ++i)
            EXPECT_EQ(records[i]->m_nNumber, 7 + i) << c.what;
    }
    CMailIndexList second = Scan(kMsg1 + "\r\n" + kMsg2, n1 + 2);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0]->m_strSubject, "two");
}

// Storage bytes that begin at offset base (the scan starts there), failing
// from offset failAt on: with a read error (Failed), or without one, as a
// file that gives fewer bytes than its length.
class FaultySource : public CStorageSource {
public:
    FaultySource(const std::string& bytes, std::uint64_t failAt, bool error, std::uint64_t base)
        : m_bytes(bytes), m_failAt(failAt), m_error(error), m_base(base)
    {
    }
    std::uint64_t Length() const override { return m_base + m_bytes.size(); }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        if (offset < m_base || offset >= Length())
            return 0;
        const std::uint64_t end = std::min<std::uint64_t>({offset + count, Length(), m_failAt});
        if (end < offset + count && end < Length())
            m_failed = m_error;
        if (end <= offset)
            return 0;
        std::memcpy(buffer, m_bytes.data() + (offset - m_base), static_cast<std::size_t>(end - offset));
        return static_cast<std::size_t>(end - offset);
    }
    bool Failed() const override { return m_failed; }

private:
    std::string m_bytes;
    std::uint64_t m_failAt;
    bool m_error;
    std::uint64_t m_base;
    bool m_failed = false;
};

// A scan that cannot read to the end, or would need offsets past 32 bits, is
// not complete and leaves the records as they were: some of a storage must
// never pass for all of it.
TEST(RebuildScanTest, AScanThatCannotReachTheEndAddsNothing)
{
    const std::string two = kMsg1 + "\r\n" + kMsg2;
    const std::string longLine = "Subject: l\r\n\r\n" + std::string(200, 'b') + "\r\n.\r\n";
    const std::uint64_t k4G = std::uint64_t{1} << 32;
    const std::uint64_t never = UINT64_MAX;
    const struct Case {
        const char* what;
        std::string storage;
        std::uint64_t failAt;
        bool error;
        std::uint64_t base;
        std::size_t block;
        std::size_t found;   // records of a complete scan; npos: not complete
    } cases[] = {
        {"a read error in the first block", two, 10, true, 0, kStorageScanBlock, std::string::npos},
        {"a read error in a later block", two, kMsg1.size() + 5, true, 0, 16, std::string::npos},
        {"a read error inside a line longer than the buffer", longLine, 100, true, 0, 16, std::string::npos},
        {"a read error at the last byte", two, two.size() - 1, true, 0, 16, std::string::npos},
        {"fewer bytes than the length, no error", two, two.size() - 3, false, 0, kStorageScanBlock, std::string::npos},
        {"a message ending past 32-bit offsets", two, never, true, k4G - kMsg1.size(), 16, std::string::npos},
        {"a fault at the end is never read", two, two.size(), true, 0, 16, 2},
        {"the last message ending at the 32-bit limit", two, never, true, k4G - 1 - two.size(), 16, 2},
    };
    for (const Case& c : cases) {
        FaultySource source(c.storage, c.failAt, c.error, c.base);
        CMailIndexList records;
        records.push_back(std::make_unique<CMailIndexData>());   // of an earlier scan
        const StorageScanResult scan = ScanMessageStorage(source, c.base, 3, records, c.block);
        if (c.found == std::string::npos) {
            EXPECT_FALSE(scan.complete) << c.what;
            EXPECT_EQ(scan.next, 3u) << c.what;
            EXPECT_EQ(records.size(), 1u) << c.what;
        } else {
            EXPECT_TRUE(scan.complete) << c.what;
            EXPECT_EQ(scan.next, 3 + c.found) << c.what;
            ASSERT_EQ(records.size(), 1 + c.found) << c.what;
            EXPECT_EQ(records.back()->m_dwEnd, c.base + c.storage.size()) << c.what;
        }
    }
}

TEST(RebuildScanTest, SkipEmptyLinesStepsOverEmptyLinesOnly)
{
    // "\n" then CR LF pairs put a CR LF across the 64 KB read block.
    std::string many = "\n";
    for (int i = 0; i < 40000; ++i)
        many += "\r\n";
    many += "X";
    struct Case {
        std::string storage;
        std::uint64_t offset, want;
    } cases[] = {
        {"", 0, 0},
        {"\r\n\r\nFrom: a\r\n", 0, 4},
        {"\n\r\nX", 0, 3},
        {"X\r\n\r\n", 1, 5},        // only empty lines to the end
        {"\r", 0, 1},                  // a lone CR at the very end
        {"\rX\r\n", 0, 0},           // a CR that ends no line
        {" \r\n", 0, 0},              // a blank is no empty line
        {"ab", 5, 5},                   // past the end
        {many, 0, many.size() - 1},
    };
    for (const Case& c : cases) {
        CMemoryStorageSource source(c.storage.data(), c.storage.size());
        EXPECT_EQ(SkipEmptyLines(source, c.offset), c.want) << c.storage.size() << " from " << c.offset;
    }
}

TEST(RebuildScanTest, MessageWithoutSubjectOrDateRunsIntoTheNext)
{
    std::string storage = "From: a@x.jp\r\n\r\nbody\r\n.\r\n\r\nFrom: b@x.jp\r\nSubject: real\r\n\r\nb\r\n.\r\n";
    CMailIndexList records = Scan(storage);
    ASSERT_EQ(records.size(), 1u);
    // Its body and the next message were taken as header lines; the last ones win.
    EXPECT_EQ(records[0]->m_strFrom, "b@x.jp");
    EXPECT_EQ(records[0]->m_strSubject, "real");
    EXPECT_EQ(records[0]->m_dwEnd, storage.size());
}

TEST(RebuildScanTest, HeaderTestsAndTheirCaseRules)
{
    auto check = [](const std::string& header, auto get, const std::string& want, DWORD flags, const char* what) {
        CMailIndexList records = Scan(header + "Date: d\r\n\r\nbody\r\n.\r\n");
        ASSERT_EQ(records.size(), 1u) << what;
        EXPECT_EQ(get(*records[0]).Str(), want) << what;
        EXPECT_EQ(records[0]->m_dwFlags, flags | kIndexFlagRebuilt) << what;
    };
    auto from = [](const CMailIndexData& r) { return r.m_strFrom; };
    auto subject = [](const CMailIndexData& r) { return r.m_strSubject; };
    auto to = [](const CMailIndexData& r) { return r.m_strTo; };
    auto msgid = [](const CMailIndexData& r) { return r.m_strMessageId; };
    auto irt = [](const CMailIndexData& r) { return r.m_strInReplyTo; };
    auto bcc = [](const CMailIndexData& r) { return r.m_strBcc; };
    auto reply = [](const CMailIndexData& r) { return r.m_strReplyTo; };

    check("from: a@x.jp\r\n", from, "a@x.jp", 0, "lower-case from");
    check("From:a@x.jp\r\n", from, "", 0, "From without the blank");
    check("x-status: AR\r\n", from, "", 0, "lower-case x-status");
    check("X-Status: AR\r\n", from, "", kIndexFlagXStatusAR, "X-Status");
    check("X-Status: ARX\r\n", from, "", kIndexFlagXStatusAR, "X-Status prefix");
    check("content-type: Multipart/Mixed; boundary=x\r\n", from, "", kIndexFlagMultipartMixed, "multipart");
    check("To: a@x.jp\r\nTo: b@x.jp\r\n", to, "b@x.jp", 0, "second To wins");
    check("Message-ID: <<id@x>>\r\n", msgid, "id@x", 0, "doubled brackets");
    check("In-Reply-To: <p@x>\r\n", irt, "p@x", 0, "In-Reply-To");
    check("Subject: a\r\n b\r\n\tc\r\n", subject, "abc", 0, "continuations join with nothing");
    check("Subject: a\r\n x: y\r\n", subject, "a", 0, "continuation with colon blank");
    check("Subject: a\r\n From: f\r\n", from, "f", 0, "trimmed continuation is tested");
    check("BCC: =?ISO-2022-JP?B?GyRCMCEbKEI=?=\r\n", bcc, "=?ISO-2022-JP?B?GyRCMCEbKEI=?=", 0, "BCC not decoded");
    check("Reply-To: r\r\n ,s\r\n", reply, "r,s", 0, "Reply-To continued");
    check("Subject: =?ISO-2022-JP?B?GyRCMCEbKEI=?=\r\n\t=?ISO-2022-JP?B?GyRCMCEbKEI=?=\r\n", subject, "亜亜", 0,
          "two encoded words");
}

TEST(RebuildScanTest, DateContinuationAndBodyStart)
{
    // A Date line's continuation is not appended; an empty line before any
    // Subject or Date does not start the body.
    CMailIndexList records = Scan("Date: a\r\n b\r\n\r\nSubject: s\r\n.\r\n");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->m_strDate, "a");
    EXPECT_EQ(records[0]->m_strSubject, "");   // body line, not a header
}

TEST(RebuildScanTest, SeveralRecipients)
{
    struct Case {
        std::string to, cc;
        bool several;
    } cases[] = {
        {"a@x.jp, b@x.jp", "", true},
        {"\"Sato, Taro\" <a@x.jp>", "", false},
        {"\"Sato, Taro\" <a@x.jp>, b@x.jp", "", true},
        {"\"Sato, Taro <a@x.jp>", "", false},   // no closing quote: no comma
        {"a@x.jp", "c@x.jp", true},
        {"", "c@x.jp, d@x.jp", true},
        {"a@x.jp", "", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        std::string header = "Subject: s\r\n";
        if (!c.to.empty())
            header += "To: " + c.to + "\r\n";
        if (!c.cc.empty())
            header += "CC: " + c.cc + "\r\n";
        CMailIndexList records = Scan(header + "\r\n.\r\n");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ((records[0]->m_dwFlags & kIndexFlagSeveralRecipients) != 0, c.several) << c.to << " / " << c.cc;
    }
}

TEST(RebuildScanTest, OwnServiceMark)
{
    struct Case {
        std::string from;
        DWORD mark;
    } cases[] = {
        {"Taro <taro@orvane.ne.jp>", kIndexMarkOwnService},
        {"taro@Orvane.ne.jp", 0},
        {"orvane.ne.jp", 0},
        {"=?ISO-2022-JP?B?GyRCMCEbKEI=?= <t@orvane.ne.jp>", kIndexMarkOwnService},
    };
    for (const Case& c : cases) {
        CMailIndexList records = Scan("From: " + c.from + "\r\nSubject: s\r\n\r\n.\r\n");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0]->m_dwMark, c.mark) << c.from;
    }
}

TEST(RebuildScanTest, LinesLongerThanTheBufferKeepExactPositions)
{
    // A body line of 3 MB, and a subject longer than the text kept for it.
    std::string body(3 * 1024 * 1024, 'b');
    std::string subject(kMaxIndexFieldText + 100, 's');
    std::string m1 = "Subject: " + subject + "\r\n\r\n" + body + "\r\n.\r\n";
    std::string m2 = "Subject: x\r\n\r\n.\r\n";
    std::string storage = m1 + "\r\n" + m2;
    CMemoryStorageSource source(storage.data(), storage.size());
    CMailIndexList records;
    EXPECT_TRUE(ScanMessageStorage(source, 0, 5, records, 64 * 1024).complete);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]->m_nNumber, 5u);
    EXPECT_EQ(records[0]->m_dwEnd, m1.size());
    EXPECT_EQ(records[1]->m_dwStart, m1.size() + 2);
    EXPECT_EQ(records[1]->m_dwEnd, storage.size());
    // The kept text of the line is bounded, "Subject: " included.
    EXPECT_EQ(static_cast<size_t>(records[0]->m_strSubject.GetLength()), kMaxIndexFieldText - 9);
    EXPECT_EQ(records[1]->m_strSubject, "x");

    // A folded line of blanks longer than the buffer still counts as empty.
    std::string blanks = "Subject: s\r\n" + std::string(100, ' ') + "\r\n.\r\n";
    CMailIndexList r2 = Scan(blanks);
    ASSERT_EQ(r2.size(), 1u);
    EXPECT_EQ(r2[0]->m_dwEnd, blanks.size());
}

TEST(RebuildTrayTest, EmptyStorageFileIsDeleted)
{
    TempMachine tm;
    const CString folder = GetTrayFolderPath("C:\\Store", "受信トレイ");
    CString storage = folder + kStorageFileName;
    // Listing leaves it; a conversion deletes it.
    for (auto writes : {CMailIndexLoader::Writes::kNone, CMailIndexLoader::Writes::kAllowed}) {
        tm.WriteFile(storage, "");
        CMailIndexLoader loader("C:\\Store", writes);
        EXPECT_EQ(loader.LoadTrayIndex("受信トレイ"), 0);
        EXPECT_FALSE(loader.StorageFailed());
        EXPECT_EQ(tm.Exists(storage), writes == CMailIndexLoader::Writes::kNone);
        EXPECT_FALSE(tm.Exists(folder + kIndexFileName));
        EXPECT_TRUE(loader.Index().records.empty());
    }
}

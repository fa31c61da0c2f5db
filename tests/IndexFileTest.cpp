// The index file: archive string forms, loading, saving, and recovery from
// unusable index files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/MailConvApp.h"
#include "framework/Archive.h"
#include "store/IndexFile.h"
#include "store/MailIndexLoader.h"
#include "store/TrayList.h"
#include "tests/TestSupport.h"

namespace {

std::string Dw(DWORD v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string Str(const std::string& s)
{
    CArchiveWriter w;
    w.WriteString(CString(s));
    return w.Bytes();
}

CMailIndexData Record(DWORD number, const std::string& subject, DWORD flags, DWORD start, DWORD end)
{
    CMailIndexData r;
    r.m_nNumber = number;
    r.m_strSubject = CString(subject);
    r.m_strFrom = "a@example.jp";
    r.m_strDate = "Mon, 6 Jan 2003 09:05:03 +0900";
    r.m_strMessageId = "id@example.jp";
    r.m_dwFlags = flags;
    r.m_dwStart = start;
    r.m_dwEnd = end;
    return r;
}

std::string IndexBytes(const std::vector<CMailIndexData>& records, const std::string& trailer)
{
    CArchiveWriter w;
    w.WriteDword(static_cast<DWORD>(records.size()));
    for (const CMailIndexData& r : records)
        WriteIndexRecord(w, r);
    return w.Bytes() + trailer;
}

std::string Trailer(DWORD a, DWORD b, DWORD c, DWORD d)
{
    return Dw(a) + Dw(b) + Dw(c) + Dw(d);
}

// A store with one tray "受信トレイ" at C:\Store.
struct Store {
    TempMachine tm;
    CMailIndexLoader loader{"C:\\Store"};
    CString tray = "受信トレイ";
    CString IndexPath() const { return GetTrayFolderPath("C:\\Store", tray) + kIndexFileName; }
    CString StoragePath() const { return GetTrayFolderPath("C:\\Store", tray) + kStorageFileName; }
    void WriteIndex(const std::string& bytes) { tm.WriteFile(IndexPath(), bytes); }
    void WriteStorage(const std::string& bytes) { tm.WriteFile(StoragePath(), bytes); }
    const TrayIndex& Index() const { return loader.Index(); }
    const CMailIndexList& List() const { return loader.Index().records; }
    bool Save() const { return CMailIndexLoader::WriteIndexFile(IndexPath(), loader.Index()); }
    // Loads another tray whose index has the trailer values info1, info2:
    // the values of the run from then on.
    void LoadTrailer(DWORD info1, DWORD info2)
    {
        CArchiveWriter w;
        ::WriteIndex(w, CMailIndexList(), info1, info2);
        tm.WriteFile(GetTrayFolderPath("C:\\Store", "送信トレイ") + kIndexFileName, w.Bytes());
        loader.LoadTrayIndex("送信トレイ");
    }
};

const std::string kTwoMessages =
    "From: a@example.jp\r\nSubject: one\r\n\r\nbody\r\n.\r\n\r\n"
    "From: b@example.jp\r\nSubject: two\r\n\r\nbody\r\n.\r\n";

}  // namespace

TEST(ArchiveTest, StringFormsByLength)
{
    struct Case {
        size_t length;
        std::string prefix;
    } cases[] = {
        {0, std::string(1, '\0')},
        {254, "\xFE"},
        {255, std::string("\xFF\xFF\x00", 3)},
        {65533, "\xFF\xFD\xFF"},
        {65534, std::string("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
        {70000, std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7)},
    };
    for (const Case& c : cases) {
        std::string text(c.length, 'x');
        std::string bytes = Str(text);
        EXPECT_EQ(bytes.substr(0, c.prefix.size()), c.prefix) << c.length;
        EXPECT_EQ(bytes.size(), c.prefix.size() + c.length);
        CArchiveReader in(bytes.data(), bytes.size());
        EXPECT_EQ(in.ReadString().Str(), text);
        EXPECT_FALSE(in.Failed());
        EXPECT_EQ(in.Remaining(), 0u);
    }
}

TEST(ArchiveTest, ReadsLongerFormsAndWideStrings)
{
    struct Case {
        std::string bytes;
        std::string text;
    } cases[] = {
        {std::string("\xFF\x03\x00" "abc", 6), "abc"},                              // 16-bit form for a short string
        {std::string("\xFF\xFF\xFF\x02\x00\x00\x00" "ab", 9), "ab"},                // 32-bit form
        {std::string("\xFF\xFE\xFF\x02" "A\x00\x42\x30", 8), "Aあ"},               // wide, byte count
        {std::string("\xFF\xFE\xFF\xFF\x01\x00\x9C\x4E", 8), "亜"},                // wide, 16-bit count
        {std::string("\xFF\xFE\xFF\xFF\xFF\xFF\x01\x00\x00\x00" "A\x00", 12), "A"}, // wide, 32-bit count
        {std::string("\xFF\xFE\xFF\x00", 4), ""},
    };
    for (const Case& c : cases) {
        CArchiveReader in(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(in.ReadString().Str(), c.text);
        EXPECT_FALSE(in.Failed());
    }
}

TEST(ArchiveTest, ShortReadsAreStickyAndAllocateNothingAhead)
{
    const std::string cases[] = {
        "",                                          // no prefix
        std::string("\x05" "abc", 4),                // fewer bytes than the length
        std::string("\xFF\x10", 2),                  // 16-bit length cut
        std::string("\xFF\xFF\xFF\xFF\xFF\xFF\x7F" "abc", 10),   // 2 GB announced
        std::string("\xFF\xFE\xFF\x03" "a\x00" "b", 7),          // wide, odd tail
        std::string("\xFF\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 10),
    };
    for (const std::string& bytes : cases) {
        CArchiveReader in(bytes.data(), bytes.size());
        EXPECT_EQ(in.ReadString().Str(), "");
        EXPECT_TRUE(in.Failed());
        EXPECT_EQ(in.ReadDword(), 0u);   // later reads yield nothing
        EXPECT_TRUE(in.Failed());
    }
}

TEST(IndexLoadTest, EmptyIndexStillReadsTheTrailer)
{
    Store s;
    s.WriteIndex(Dw(0) + Trailer(1, 2, 3, 4));
    CMailIndexLoader& loader = s.loader;
    EXPECT_EQ(loader.LoadTrayIndex(s.tray), 0);
        EXPECT_TRUE(s.List().empty());
    EXPECT_EQ(s.Index().info1, 1u);
    EXPECT_EQ(s.Index().info2, 4u);
}

TEST(IndexLoadTest, CountsRemovedAndLiveRecordsAndSavesTrailerOneFourFourFour)
{
    Store s;
    s.WriteIndex(IndexBytes({Record(0, "a", 0x100, 0, 10), Record(1, "b", 0x110, 10, 20), Record(2, "c", 0, 20, 30)},
                            Trailer(1, 2, 3, 4)));
    CMailIndexLoader& loader = s.loader;
    EXPECT_EQ(loader.LoadTrayIndex(s.tray), 3);
    EXPECT_EQ(s.Index().messageCount, 3);
    EXPECT_EQ(s.Index().removedCount, 1);
    EXPECT_EQ(s.Index().liveCount, 2);
    ASSERT_EQ(s.List().size(), 3u);
    EXPECT_TRUE(s.List()[1]->IsRemoved());
    EXPECT_EQ(s.List()[2]->m_strSubject, "c");

    s.Save();
    std::string saved = s.tm.ReadFile(s.IndexPath());
    EXPECT_EQ(saved.substr(saved.size() - 16), Trailer(1, 4, 4, 4));
    EXPECT_EQ(s.Index().liveCount, 2);
}

TEST(IndexLoadTest, SecondTrayStartsFromAnEmptyList)
{
    Store s;
    s.WriteIndex(IndexBytes({Record(0, "a", 0, 0, 1), Record(1, "b", 0x10, 1, 2)}, Trailer(5, 0, 0, 6)));
    s.tm.WriteFile(GetTrayFolderPath("C:\\Store", "送信トレイ") + kIndexFileName,
                   IndexBytes({Record(7, "x", 0, 0, 1)}, Trailer(8, 0, 0, 9)));
    CMailIndexLoader& loader = s.loader;
    EXPECT_EQ(loader.LoadTrayIndex(s.tray), 2);
    const CMailIndexList* first = &s.List();
    EXPECT_EQ(loader.LoadTrayIndex("送信トレイ"), 1);
    EXPECT_EQ(&s.List(), first);   // one list for the run
    ASSERT_EQ(s.List().size(), 1u);
    EXPECT_EQ(s.List()[0]->m_nNumber, 7u);
    EXPECT_EQ(s.Index().removedCount, 0);
    EXPECT_EQ(s.Index().liveCount, 1);
    EXPECT_EQ(s.Index().info1, 8u);
    EXPECT_EQ(s.Index().info2, 9u);
}

TEST(IndexLoadTest, ReadThenWriteGivesTheSameBytes)
{
    Store s;
    CMailIndexData full = Record(3, std::string(300, 's'), 0x1107, 5, 70000);
    full.m_strTo = "to";
    full.m_strCc = "cc";
    full.m_strBcc = "bcc";
    full.m_strReplyTo = "reply";
    full.m_strInReplyTo = "irt";
    full.m_dwMark = 0xFF3232;
    full.m_strSubject = CString(std::string(70000, 'L'));
    std::string minimal = IndexBytes({full, Record(4, "件名", 0x10, 0, 0)}, Trailer(9, 4, 4, 4));
    s.WriteIndex(minimal);
    CMailIndexLoader& loader = s.loader;
    loader.LoadTrayIndex(s.tray);
    s.tm.WriteFile(s.IndexPath(), "");
    s.Save();
    EXPECT_EQ(s.tm.ReadFile(s.IndexPath()), minimal);

    // Trailer values 2 and 3, longer length forms and wide strings do not
    // survive: they are written as info2 and in the shortest narrow form.
    std::string rec = Dw(1) + std::string("\xFF\x02\x00" "ab", 5) + std::string("\xFF\xFE\xFF\x01" "A\x00", 6) +
                      std::string(7, '\0') + Dw(0) + Dw(0) + Dw(0) + Dw(0);
    s.WriteIndex(Dw(1) + rec + Trailer(1, 2, 3, 4));
    loader.LoadTrayIndex(s.tray);
    s.Save();
    std::string want = Dw(1) + std::string("\x02" "ab" "\x01" "A", 5) + std::string(7, '\0') + Dw(0) + Dw(0) +
                       Dw(0) + Dw(0);
    EXPECT_EQ(s.tm.ReadFile(s.IndexPath()), Dw(1) + want + Trailer(1, 4, 4, 4));
}

TEST(IndexLoadTest, MissingIndexIsRebuiltAndWrittenWithTheRunsTrailerValues)
{
    Store s;
    s.WriteStorage(kTwoMessages);
    s.LoadTrailer(11, 22);
    CMailIndexLoader& loader = s.loader;
    EXPECT_EQ(loader.LoadTrayIndex(s.tray), 2);
    EXPECT_EQ(s.Index().liveCount, 2);
    ASSERT_TRUE(s.tm.Exists(s.IndexPath()));
    CArchiveWriter w;
    WriteIndex(w, s.List(), 11, 22);
    EXPECT_EQ(s.tm.ReadFile(s.IndexPath()), w.Bytes());

    // Loading again reads the written index.
    EXPECT_EQ(loader.LoadTrayIndex(s.tray), 2);
    EXPECT_EQ(s.List()[1]->m_strSubject, "two");
}

TEST(IndexLoadTest, TrayWithoutIndexOrStorageLoadsEmpty)
{
    Store s;
    CMailIndexLoader& loader = s.loader;
    EXPECT_EQ(loader.LoadTrayIndex(s.tray), 0);
    EXPECT_FALSE(loader.StorageFailed());
        EXPECT_TRUE(s.List().empty());
    EXPECT_EQ(s.Index().liveCount, 0);
    EXPECT_FALSE(s.tm.Exists(s.IndexPath()));
}

// An index that cannot be used, or that exists but cannot be opened, is
// rebuilt from the storage in memory: the store stays as it was, even an
// empty storage file is kept.
TEST(IndexLoadTest, UnusableIndexIsRecoveredFromStorageWithoutTouchingIt)
{
    std::string good = IndexBytes({Record(0, "one", 0, 0, 40), Record(1, "two", 0, 40, 80)}, Trailer(1, 2, 3, 4));
    std::string reversed = IndexBytes({Record(0, "one", 0, 30, 10)}, Trailer(1, 2, 3, 4));
    std::string pastEnd = IndexBytes({Record(0, "one", 0, 0, 100000)}, Trailer(1, 2, 3, 4));
    const std::string kFolder = "<folder>";       // vmmail.idx is a folder: it exists, but no file opens
    const std::string kNoAccess = "<no access>";  // a file that may be written but not read
    struct Case {
        const char* what;
        std::string index;
    } cases[] = {
        {"count cut", good.substr(0, 3)},
        {"record cut", good.substr(0, 30)},
        {"trailer cut", good.substr(0, good.size() - 1)},
        {"no trailer", Dw(0)},
        {"count 0xFFFFFFFF", Dw(0xFFFFFFFF) + good.substr(4)},
        {"count larger than the file", Dw(3) + good.substr(4)},
        {"count lowered: record bytes before the trailer", Dw(1) + good.substr(4)},
        {"count 0 of an index with records", Dw(0) + good.substr(4)},
        {"bytes after the trailer", good + "x"},
        {"reversed range", reversed},
        {"range past the storage", pastEnd},
        {"exists but does not open", kFolder},
        {"exists but cannot be read", kNoAccess},
    };
    for (const std::string& storage : {kTwoMessages, std::string()}) {
        for (const Case& c : cases) {
            if (c.index == kNoAccess && ::geteuid() == 0)
                continue;   // root reads it all the same
            Store s;
            s.WriteStorage(storage);
            if (c.index == kFolder) {
                s.tm.MakeDirs(s.IndexPath());
            } else {
                s.WriteIndex(c.index == kNoAccess ? good : c.index);
                if (c.index == kNoAccess)
                    ::chmod(s.tm.Host(s.IndexPath()).c_str(), 0200);   // write-only
            }
            s.LoadTrailer(7, 8);
            CMailIndexLoader& loader = s.loader;
            const int want = storage.empty() ? 0 : 2;
            EXPECT_EQ(loader.LoadTrayIndex(s.tray), want) << c.what;
            EXPECT_FALSE(loader.StorageFailed()) << c.what;
            ASSERT_EQ(s.List().size(), static_cast<size_t>(want)) << c.what;
            if (want) {
                EXPECT_EQ(s.List()[0]->m_strSubject, "one") << c.what;
                EXPECT_EQ(s.List()[1]->m_dwEnd, kTwoMessages.size()) << c.what;
            }
            EXPECT_EQ(s.Index().liveCount, want) << c.what;
            EXPECT_EQ(s.Index().removedCount, 0) << c.what;
            EXPECT_EQ(s.Index().info1, 7u) << c.what;
            EXPECT_EQ(s.Index().info2, 8u) << c.what;
            if (c.index == kNoAccess)
                ::chmod(s.tm.Host(s.IndexPath()).c_str(), 0644);
            if (c.index == kFolder)
                EXPECT_TRUE(std::filesystem::is_directory(s.tm.Host(s.IndexPath()))) << c.what;
            else
                EXPECT_EQ(s.tm.ReadFile(s.IndexPath()), c.index == kNoAccess ? good : c.index) << c.what;
            EXPECT_EQ(s.tm.ReadFile(s.StoragePath()), storage) << c.what;   // an empty one is not deleted
        }
    }
}

// A sound index keeps its removed records removed, and the storage past the
// furthest range its records cover (removed ones included) is scanned for
// messages stored after the index was saved; they follow the index's records,
// numbered on. The index file is not rewritten.
TEST(IndexLoadTest, MessagesStoredAfterTheIndexFollowItsRecords)
{
    auto message = [](int i) {
        return "From: a@example.jp\r\nSubject: m" + std::to_string(i) + "\r\n\r\nbody\r\n.\r\n";
    };
    struct Case {
        const char* what;
        int stored;                       // messages m0.. in the storage
        bool gap;                         // an empty line after each
        std::string extra;                // bytes after them
        int indexed;                      // the index lists m0.. up to here
        DWORD removed;                    // bit i: the index has m<i> removed
        std::vector<CMailIndexData> odd;  // further index records
        std::vector<std::string> live;    // subjects of the live records, in order
    } cases[] = {
        {"two stored after the index", 5, true, "", 3, 0, {}, {"m0", "m1", "m2", "m3", "m4"}},
        {"without empty lines between", 4, false, "", 2, 0, {}, {"m0", "m1", "m2", "m3"}},
        {"removed records stay removed", 5, true, "", 3, 0b011, {}, {"m2", "m3", "m4"}},
        {"a removed last record is not found again", 4, true, "", 3, 0b100, {}, {"m0", "m1", "m3"}},
        {"only empty lines after the index", 2, true, "\r\n\r\n\n", 2, 0, {}, {"m0", "m1"}},
        {"empty lines before a stored message", 2, true, "\r\n" + message(9), 2, 0, {}, {"m0", "m1", "m9"}},
        {"index without records: the whole storage", 3, true, "", 0, 0, {}, {"m0", "m1", "m2"}},
        {"removed record with a reversed range", 3, true, "", 1, 0, {Record(1, "x", 0x10, 1000, 1)}, {"m0"}},
        {"removed record past the storage", 3, true, "", 2, 0, {Record(2, "x", 0x10, 0, 100000)}, {"m0", "m1"}},
    };
    for (const Case& c : cases) {
        Store s;
        std::string storage;
        std::vector<CMailIndexData> records;
        for (int i = 0; i < c.stored; ++i) {
            const DWORD start = static_cast<DWORD>(storage.size());
            storage += message(i);
            if (i < c.indexed)
                records.push_back(Record(static_cast<DWORD>(i), "m" + std::to_string(i),
                                         (c.removed >> i) & 1 ? 0x10 : 0, start, static_cast<DWORD>(storage.size())));
            if (c.gap)
                storage += "\r\n";
        }
        storage += c.extra;
        records.insert(records.end(), c.odd.begin(), c.odd.end());
        const std::string index = IndexBytes(records, Trailer(1, 2, 3, 4));
        s.WriteStorage(storage);
        s.WriteIndex(index);

        CMailIndexLoader& loader = s.loader;
        const int total = loader.LoadTrayIndex(s.tray);
        EXPECT_FALSE(loader.StorageFailed()) << c.what;
        EXPECT_EQ(total, static_cast<int>(s.List().size())) << c.what;
        EXPECT_EQ(s.Index().messageCount, total) << c.what;
        EXPECT_EQ(s.Index().liveCount, static_cast<int>(c.live.size())) << c.what;
        EXPECT_EQ(s.Index().removedCount, total - static_cast<int>(c.live.size())) << c.what;
        EXPECT_EQ(s.Index().info1, 1u) << c.what;
        std::vector<std::string> live;
        for (size_t i = 0; i < s.List().size(); ++i) {
            const CMailIndexData& r = *s.List()[i];
            EXPECT_EQ(r.m_nNumber, i) << c.what;
            if (r.IsRemoved())
                continue;
            live.push_back(r.m_strSubject.Str());
            // Each live range holds exactly its message.
            const int n = std::stoi(r.m_strSubject.Str().substr(1));
            EXPECT_EQ(storage.substr(r.m_dwStart, r.m_dwEnd - r.m_dwStart), message(n)) << c.what;
        }
        EXPECT_EQ(live, c.live) << c.what;
        EXPECT_EQ(s.tm.ReadFile(s.IndexPath()), index) << c.what;
    }
}

TEST(IndexLoadTest, IndexWithoutStorageFileIsTakenAsItIs)
{
    Store s;
    s.WriteIndex(IndexBytes({Record(0, "one", 0, 0, 5000)}, Trailer(1, 2, 3, 4)));
    CMailIndexLoader& loader = s.loader;
    EXPECT_EQ(loader.LoadTrayIndex(s.tray), 1);
}

// velmora-convert: its progress line and table, and the program run as a user
// runs it on a store made from the demo messages: bad input refused before
// anything is written, the tray list, conversions equal to `vmtool convert`'s,
// failures reported with both messages.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "cli/ProgressMeter.h"
#include "tests/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string U(const char8_t* text) { return Utf8(text); }

// ---- The progress line, the meter and the table ------------------------------------

TEST(ConvertCliProgress, LineShowsCountsRateAndTimeLeftWithinTheWidth)
{
    const std::uint64_t MB = 1 << 20;
    struct Case {
        std::string tray;
        int done, total;
        std::uint64_t bytesDone, bytesTotal;
        double seconds;
        bool finished;
        int columns;
        std::string expected;
    } cases[] = {
        // Wide characters take two columns: the name is padded to 12.
        {U(u8"受信トレイ"), 3, 6, 2 * MB, 8 * MB, 1.0, false, 80,
         U(u8"受信トレイ   [#######.......................] 3/6     2.0 MB/s  0:03 left")},
        {"Inbox", 0, 6, 0, 8 * MB, 0.0, false, 80,
         "Inbox        [..............................] 0/6      -- MB/s  --:-- left"},
        // Nothing to convert: no division by zero, a full bar once finished.
        {"empty", 0, 0, 0, 0, 0.5, false, 60, "empty        [...............] 0/0      -- MB/s  --:-- left"},
        {"empty", 0, 0, 0, 0, 0.5, true, 60, "empty        [##################] 0/0     0.0 MB/s  in 0:01"},
        {"t", 12, 12, 100 * MB, 100 * MB, 3723.0, true, 80,
         "t            [##############################] 12/12     0.0 MB/s  in 1:02:03"},
        // Messages without bytes: the bar follows the message count.
        {"t", 2, 4, 0, 0, 1.0, false, 50, "t            [##...] 2/4      -- MB/s  --:-- left"},
        // A narrow terminal: the name gives way, the counts stay.
        {U(u8"とても長いトレイの名前です"), 1, 2, MB, 2 * MB, 1.0, false, 48,
         U(u8"とても長い  [##...] 1/2     1.0 MB/s  0:01 left")},
        {"x", 1, 2, MB, 2 * MB, 1.0, false, 20, "x        1/2     1.0 MB/s  0:01 left"},
    };
    for (const Case& c : cases) {
        const std::string line =
            ProgressLine(c.tray, c.done, c.total, c.bytesDone, c.bytesTotal, c.seconds, c.finished, c.columns);
        EXPECT_EQ(line, c.expected) << c.tray << " " << c.columns;
        if (c.columns >= 40) {
            EXPECT_LE(DisplayWidth(line), c.columns - 1) << line;
        }
    }
}

TEST(ConvertCliProgress, MeterRedrawsAtMostTenTimesASecondAndCountsWhatWasWritten)
{
    double now = 0;
    std::vector<std::pair<std::string, bool>> drawn;
    CProgressMeter meter([&] { return now; }, [&](const std::string& line, bool final) { drawn.push_back({line, final}); },
                         80);
    meter.BeginTray("a", std::vector<std::uint64_t>(1000, 100));
    for (int n = 1; n <= 1000; ++n) {   // 1000 messages in one second
        meter.StartMessage(n);
        now += 0.001;
    }
    EXPECT_LE(drawn.size(), 12u);
    EXPECT_GE(drawn.size(), 9u);
    meter.BeginTray("b", {10, 20, 30});   // ends "a" written whole
    meter.StartMessage(1);
    meter.StartMessage(2);                // fails while writing message 2
    meter.Finish(false);

    ASSERT_EQ(meter.Rows().size(), 2u);
    EXPECT_EQ(meter.Rows()[0].messages, 1000);
    EXPECT_EQ(meter.Rows()[0].bytes, 100000u);
    EXPECT_EQ(meter.Rows()[1].messages, 1);
    EXPECT_EQ(meter.Rows()[1].total, 3);
    EXPECT_EQ(meter.Rows()[1].bytes, 10u);
    int finals = 0;
    for (const auto& d : drawn)
        finals += d.second;
    EXPECT_EQ(finals, 2);
    EXPECT_NE(drawn.back().first.find("1/3"), std::string::npos) << drawn.back().first;

    CProgressMeter silent([&] { return now; }, nullptr, 80);
    silent.BeginTray("c", {5});
    silent.StartMessage(1);
    silent.Finish(true);
    EXPECT_EQ(silent.Rows()[0].messages, 1);
    EXPECT_EQ(silent.Rows()[0].bytes, 5u);

    // Files inside the output folder are named from there, others in full.
    EXPECT_EQ(TrayTable({{U(u8"受信トレイ"), 6, 6, 5843, U(u8"/out/受信トレイ[01].mbx")},
                         {"x", 0, 0, 0, ""},
                         {"y", 1, 1, 9, "/elsewhere/y"}},
                        "/out/"),
              U(u8"tray        messages  bytes  written\n"
                u8"受信トレイ         6   5843  受信トレイ[01].mbx\n"
                u8"x                  0      0  -\n"
                u8"y                  1      9  /elsewhere/y\n"
                u8"total              7   5852\n"));
}

// ---- The program -----------------------------------------------------------------

std::string Bin(const char* name)
{
    return std::string(VELMORA_BINARY_DIR) + "/" + name;
}

struct Ran {
    int status = -1;
    std::string out, err;
};

std::string ReadHost(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a shell command line with stdout and stderr in files (not a terminal).
Ran Shell(const std::string& command, const std::string& scratch)
{
    Ran r;
    const std::string out = scratch + "/stdout", err = scratch + "/stderr";
    const int status = std::system((command + " >'" + out + "' 2>'" + err + "'").c_str());
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadHost(out);
    r.err = ReadHost(err);
    fs::remove(out);
    fs::remove(err);
    return r;
}

// Every file under folder: relative path -> bytes, separator lines' times
// masked (they hold the time of writing).
std::map<std::string, std::string> Tree(const fs::path& folder)
{
    static const std::regex separator("^(From \\?\\?\\?@\\?\\?\\? |From - )[^\r\n]*", std::regex::multiline);
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (e.is_regular_file())
            files[fs::relative(e.path(), folder).string()] = std::regex_replace(ReadHost(e.path()), separator, "$1*");
    }
    return files;
}

class ConvertCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(Bin("velmora-convert")) || !fs::exists(Bin("vmtool")))
            GTEST_SKIP() << "velmora-convert or vmtool not built";
        root = tm.root();
        store = root + "/store";
        const std::string demo = std::string(VELMORA_SOURCE_DIR) + "/demo";
        std::string trays;
        for (const char8_t* t : {u8"受信トレイ", u8"送信トレイ", u8"未送信トレイ", u8"ドラフト", u8"旅行"})
            trays += " '" + U(t) + "=messages/" + U(t) + "'";
        ASSERT_EQ(Shell("cd '" + demo + "' && '" + Bin("vmtool") + "' make-store --address-book=AddressBook.txt '" +
                            store + "'" + trays,
                        root)
                      .status,
                  0);
    }

    Ran Convert(const std::string& args) { return Shell("'" + Bin("velmora-convert") + "' " + args, root); }

    TempMachine tm;
    std::string root, store;
};

}  // namespace

TEST_F(ConvertCliTest, BadInputIsRefusedBeforeAnythingIsWritten)
{
    fs::create_directories(root + "/plain");
    std::ofstream(root + "/file") << "x";
    const std::string s = "'" + store + "' ";
    const std::string out = "'" + root + "/out' ";
    struct Case {
        std::string args;
        std::string says;   // in stderr
        int status = 2;
    } cases[] = {
        {"", "no store folder given"},
        {s, "no output folder given"},
        {s + out, "--format is required"},
        {s + out + "--format mbx", "unknown format \"mbx\""},
        {s + out + "--format eml --format mbox", "--format given twice"},
        {s + out + "--format eml --trays", "missing value after --trays"},
        {s + out + "--format eml --colour", "unknown option --colour"},
        {s + out + "--format=eml --quiet=1", "--quiet takes no value"},
        {s + out + "'" + root + "/more' --format eml", "too many folders"},
        {s + out + "--list", "--list takes the store folder alone"},
        {"'" + root + "/nowhere' --list", "no such folder"},
        {"'" + root + "/file' --list", "is not a folder"},
        {"'" + root + "/plain' " + out + "--format eml", "is not a Velmora store: it has no Data/MailBox folder"},
        {"'" + store + "/Data/MailBox/" + U(u8"旅行") + "' --list", "is not a Velmora store"},
        {s + out + "--format eml --trays " + U(u8"旅行,仕事"), U(u8"unknown tray \"仕事\"; the store's trays are: "
                                                             u8"受信トレイ, 送信トレイ, 未送信トレイ, ドラフト, 旅行")},
        {s + out + "--format eml --trays '../" + U(u8"旅行") + "'", "refused: a tray name is one folder name"},
        {s + out + "--format eml --trays ,", "no tray named"},
        {s + out + "--format eml --trays " + U(u8"旅行,旅行"), U(u8"tray \"旅行\" named twice")},
        {s + "'" + root + "/file' --format mbox", "is a file, not a folder"},
        {s + "'" + store + "/Data/out' --format mbox", "lies inside the store's Data folder"},
        {"'" + store + "/Data/' '" + store + "/Data/out' --format mbox", "lies inside the store's Data folder"},
        {s + out + "--format mbox --csv '" + root + "/plain'", "is a folder, not a file"},
        {s + out + "--format mbox --csv '" + root + "/none/a.csv'", "no folder"},
        {s + out + "--format mbox --csv '" + root + "/out/sub/a.csv'", "no folder"},
        {s + out + "--format mbox --csv '" + store + "/Data/AddressBook.txt'", "lies inside the store's Data folder"},
        {s + out + "--format mbox --csv ''", "--csv needs a file name"},
        {s + out + "--format mbox --vcard '" + root + "/plain'", "--vcard " + root + "/plain is a folder, not a file"},
        {s + out + "--format mbox --csv '" + root + "/a.csv' --vcard '" + root + "/none/a.vcf'", "--vcard " + root +
         "/none/a.vcf: no folder"},
        {s + out + "--format mbox --vcard '" + store + "/Data/a.vcf'", "lies inside the store's Data folder"},
        {s + out + "--format mbox --vcard ''", "--vcard needs a file name"},
        {s + out + "--format mbox --vcard '" + root + "/a' --csv '" + root + "/./a'", "name the same file"},
        {s + "--list --vcard '" + root + "/a.vcf'", "--list takes the store folder alone"},
        {s + "'" + root + "/out/" + "\xe2\x91\xa0\xf0\x9f\x98\x80" + "' --format mbox",
         "characters that Shift_JIS cannot name"},
        {s + "'" + root + "/a\\b' --format mbox", "its path holds a \"\\\""},
        {s + "'' --format mbox", "an empty folder name"},
        {"--help", "", 0},
    };
    const std::string before = ReadHost(store + "/Data/MailBox/" + U(u8"旅行") + "/vmmail.idx");
    auto entries = [&] {
        std::vector<std::string> names;
        for (const std::string& folder : {root, store, store + "/Data"})
            for (const auto& e : fs::directory_iterator(folder))
                names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> made = entries();
    for (const Case& c : cases) {
        const Ran r = Convert(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_EQ(entries(), made) << c.args;
    }
    EXPECT_EQ(ReadHost(store + "/Data/MailBox/" + U(u8"旅行") + "/vmmail.idx"), before);
    if (::geteuid() != 0) {   // root writes anywhere
        fs::permissions(root + "/plain", fs::perms::owner_write, fs::perm_options::remove);
        const Ran r = Convert(s + "'" + root + "/plain' --format eml");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("is not writable"), std::string::npos) << r.err;
        fs::permissions(root + "/plain", fs::perms::owner_write, fs::perm_options::add);
    }
}

TEST_F(ConvertCliTest, ListsTheTraysInTheWizardsOrderWithTheirLiveCounts)
{
    // A tray whose index is missing is counted from its storage file, as a
    // conversion would; an empty storage file counts nothing. Listing writes
    // and deletes nothing: the store stays byte for byte as it was.
    const std::string travel = store + "/Data/MailBox/" + U(u8"旅行");
    fs::remove(travel + "/vmmail.idx");
    std::ofstream(store + "/Data/MailTray.dat", std::ios::app) << "仕事\r\n";   // Shift_JIS
    fs::create_directories(store + "/Data/MailBox/" + U(u8"仕事"));
    std::ofstream(store + "/Data/MailBox/" + U(u8"仕事") + "/Message Storage.mbx");
    auto snapshot = [this] {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(store))
            files[e.path().string()] = e.is_regular_file() ? ReadHost(e.path().string()) : "<folder>";
        return files;
    };
    const auto before = snapshot();
    // The store's Data or Data/MailBox folder lists the store.
    for (const std::string& folder : {store, store + "/Data", store + "/Data/MailBox/"}) {
        const Ran r = Convert("'" + folder + "' --list");
        EXPECT_EQ(r.status, 0) << folder << "\n" << r.err;
        EXPECT_EQ(r.out, U(u8"tray          messages\n"
                           u8"受信トレイ           6\n"
                           u8"送信トレイ           2\n"
                           u8"未送信トレイ         1\n"
                           u8"ドラフト             1\n"
                           u8"旅行                 1\n"
                           u8"仕事                 0\n"))
            << folder;
        EXPECT_EQ(r.err, "") << folder;
    }
    EXPECT_EQ(snapshot(), before);

    // A tray whose storage cannot be read claims no count, and its index is
    // not rebuilt: exit 1.
    fs::remove(travel + "/vmmail.idx");
    fs::remove(travel + "/Message Storage.mbx");
    fs::create_directories(travel + "/Message Storage.mbx");
    const Ran bad = Convert("'" + store + "' --list");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, U(u8"tray            messages\n"
                         u8"受信トレイ             6\n"
                         u8"送信トレイ             2\n"
                         u8"未送信トレイ           1\n"
                         u8"ドラフト               1\n"
                         u8"旅行          unreadable\n"
                         u8"仕事                   0\n"));
    EXPECT_EQ(bad.err, "velmora-convert: the message storage of 1 tray(s) could not be read\n");
    EXPECT_FALSE(fs::exists(travel + "/vmmail.idx"));
}

// Each format gives what `vmtool convert` gives for every tray, and its
// address book; off a terminal only the table and the result are printed.
TEST_F(ConvertCliTest, ConvertsAsVmtoolDoesInEveryFormat)
{
    const std::string all = U(u8"受信トレイ,送信トレイ,未送信トレイ,ドラフト,旅行");
    // The table names what was written for each tray: a mailbox file, or a folder of .eml files.
    auto table = [](const std::string& ext) {
        return U(u8"tray          messages  bytes  written\n"
                 u8"受信トレイ           6   5843  受信トレイ") + ext + U(u8"\n"
                 u8"送信トレイ           2   1515  送信トレイ") + ext + U(u8"\n"
                 u8"未送信トレイ         1    687  未送信トレイ") + ext + U(u8"\n"
                 u8"ドラフト             1    600  ドラフト") + ext + U(u8"\n"
                 u8"旅行                 1    808  旅行") + ext + U(u8"\n"
                 u8"total               11   9453\n");
    };
    const std::map<std::string, std::string> extension = {
        {"mbox", ".mbx"}, {"eml", "/"}, {"eudora", ".mbx"}, {"netscape", ""}};
    const std::string success = U(u8"メール変換が正常に終了しました。\n");
    const std::string tmp = "TMPDIR='" + root + "/tmp' ";
    fs::create_directories(root + "/tmp");
    int format = 0;
    for (const char* name : {"mbox", "eml", "eudora", "netscape"}) {
        ++format;
        const std::string mine = root + "/cli-" + name, theirs = root + "/vmtool-" + name;
        fs::create_directories(theirs);
        ASSERT_EQ(Shell(tmp + "'" + Bin("vmtool") + "' convert --store '" + store + "' --format " +
                            std::to_string(format) + " --trays '" + all + "' --out '" + theirs + "' --csv '" + theirs +
                            "/book.csv'",
                        root)
                      .status,
                  0);
        // The output folder is made with its parents; the CSV may go into it.
        const Ran r = Shell(tmp + "'" + Bin("velmora-convert") + "' '" + store + "' '" + mine + "' --format " + name +
                                " --csv '" + mine + "/book.csv'",
                            root);
        EXPECT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(r.out, table(extension.at(name)) + success) << name;
        EXPECT_EQ(r.err, "") << name;
        const auto expected = Tree(theirs), actual = Tree(mine);
        EXPECT_GE(expected.size(), 6u) << name;
        EXPECT_TRUE(expected == actual) << name;
    }
    EXPECT_TRUE(fs::is_empty(root + "/tmp"));

    // --trays in any order converts in the store's order; --quiet says nothing when it succeeds.
    const Ran r = Convert("'" + store + "' '" + root + "/some' -f mbox --quiet --trays " + U(u8"旅行,受信トレイ"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    for (const char* version : {"--version", "-V"}) {
        const Ran v = Convert(version);
        EXPECT_EQ(v.status, 0);
        EXPECT_EQ(v.out, "velmora-convert 1.0.0\n");
    }
    EXPECT_EQ(fs::file_size(root + "/some/" + U(u8"受信トレイ.mbx")),
              fs::file_size(root + "/cli-mbox/" + U(u8"受信トレイ.mbx")));
    EXPECT_EQ(std::distance(fs::directory_iterator(root + "/some"), fs::directory_iterator()), 2);
}

// On a terminal each tray gets a progress line on stderr, redrawn in place.
TEST_F(ConvertCliTest, ATerminalShowsAProgressLinePerTray)
{
    if (std::system("script --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no script(1) to make a terminal";
    const Ran r = Shell("script -qec \"'" + Bin("velmora-convert") + "' '" + store + "' '" + root +
                            "/tty' --format eml\" /dev/null",
                        root);
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char8_t* line : {u8"\r受信トレイ   [##############################] 6/6 ", u8"\r旅行         [#", u8"\x1b[K",
                                u8" MB/s", u8"total               11   9453"})
        EXPECT_NE(r.out.find(U(line)), std::string::npos) << U(line) << "\n" << r.out;
    const Ran quiet = Shell("script -qec \"'" + Bin("velmora-convert") + "' '" + store + "' '" + root +
                                "/tty2' --format eml -q\" /dev/null",
                            root);
    EXPECT_EQ(quiet.out, "");
}

// A failed conversion: exit 1, the program's message and one English line.
TEST_F(ConvertCliTest, AFailureSaysWhatStoppedInBothLanguages)
{
    const std::string travel = U(u8"/Data/MailBox/旅行");
    struct Case {
        const char* what;
        std::string damaged;   // moved away, and a folder put there when asFolder
        bool asFolder;
        std::string missing;   // also moved away (and not made again by the run)
        std::string args;
        std::string japanese, english;
    } cases[] = {
        {"storage of a listed tray unreadable", travel + "/Message Storage.mbx", false, "", "--format mbox",
         U(u8"ファイルエラーのためメール変換が中断しました。\n"),
         U(u8"velmora-convert: the conversion stopped: a file could not be read or written (tray 旅行, after 0 of 1 "
           u8"messages); files written so far stay in ")},
        {"storage a folder, no index", travel + "/Message Storage.mbx", true, travel + "/vmmail.idx", "--format eml",
         U(u8"ファイルエラーのためメール変換が中断しました。\n"),
         U(u8"velmora-convert: the conversion stopped: a file could not be read or written (tray 旅行, after 0 of 0 "
           u8"messages)")},
        {"address book unreadable", "/Data/AddressBook.txt", true, "", "--format eml --csv '" + root + "/a.csv'",
         U(u8"ファイルエラーのためメール変換が中断しました。\n"),
         "velmora-convert: the mail was converted, but the address book could not be written to " + root + "/a.csv"},
        {"address book unreadable, vCard", "/Data/AddressBook.txt", true, "",
         "--format mbox --vcard '" + root + "/a.vcf'", U(u8"ファイルエラーのためメール変換が中断しました。\n"),
         "velmora-convert: the mail was converted, but the address book could not be written to " + root + "/a.vcf"},
    };
    int run = 0;
    for (const Case& c : cases) {
        const std::string saved = root + "/saved", savedToo = root + "/saved-too";
        fs::rename(store + c.damaged, saved);
        if (c.asFolder)
            fs::create_directories(store + c.damaged);
        if (!c.missing.empty())
            fs::rename(store + c.missing, savedToo);
        const Ran r = Convert("'" + store + "' '" + root + "/fail" + std::to_string(run++) + "' " + c.args);
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(r.out, "") << c.what;
        EXPECT_EQ(r.err.substr(0, c.japanese.size()), c.japanese) << c.what << "\n" << r.err;
        EXPECT_NE(r.err.find(c.english), std::string::npos) << c.what << "\n" << r.err;
        if (!c.missing.empty()) {
            EXPECT_FALSE(fs::exists(store + c.missing)) << c.what;
            fs::rename(savedToo, store + c.missing);
        }
        if (c.asFolder)
            fs::remove(store + c.damaged);
        fs::rename(saved, store + c.damaged);
    }
}

// A run stopped at any moment leaves every file under a final name whole: a
// signal while a tray is being written, in several formats and trays. SIGINT
// and SIGTERM say where the run stopped and leave no part file; after SIGKILL
// only part files may be unfinished.
TEST_F(ConvertCliTest, AStoppedRunLeavesOnlyWholeFilesUnderFinalNames)
{
    // Two trays of 1500 messages of about 7 KB: a window of some milliseconds
    // to see each tray being written. Under the sanitizers, whose runs are
    // many times slower, fewer give the same window.
#ifdef __SANITIZE_ADDRESS__
    constexpr int kMessages = 200;
#else
    constexpr int kMessages = 1500;
#endif
    const std::string big = root + "/big";
    std::string trays;
    for (const char8_t* name : {u8"一番", u8"二番"}) {
        std::ofstream mbox(root + "/" + U(name) + ".mbox", std::ios::binary);
        for (int n = 1; n <= kMessages; ++n) {
            mbox << "From a@example.com Mon Jan  1 00:00:00 2024\nFrom: a@example.com\nSubject: Message " << n
                 << "\nDate: Mon, 1 Jan 2024 00:00:00 +0900\n\n";
            for (int line = 0; line < 90; ++line)
                mbox << "Line " << line << " of message " << n << ", with words enough to fill it.\n";
            mbox << "\n";
        }
        trays += " '" + U(name) + "=" + root + "/" + U(name) + ".mbox'";
    }
    ASSERT_EQ(Shell("'" + Bin("vmtool") + "' make-store '" + big + "'" + trays, root).status, 0);

    struct Case {
        const char* format;
        int signal;
        const char8_t* watched;   // in the output: the part file or the folder to watch
        double when;              // signal once it holds this part of its tray's bytes (a folder: files)
        int status;               // exit status (-1: killed)
        const char8_t* says;      // on stderr
    } cases[] = {
        {"mbox", SIGINT, u8"一番.mbx.part", 0.1, 130, u8"stopped by SIGINT in tray 一番 after "},
        {"mbox", SIGINT, u8"二番.mbx.part", 0.5, 130, u8"stopped by SIGINT in tray 二番 after "},
        {"eudora", SIGTERM, u8"二番.mbx.part", 0.2, 143, u8"stopped by SIGTERM in tray 二番 after "},
        {"netscape", SIGKILL, u8"一番.part", 0.3, -1, u8""},
        {"mbox", SIGKILL, u8"二番.mbx.part", 0.15, -1, u8""},
        {"eml", SIGINT, u8"一番", 0.13, 130, u8"the messages written are kept"},
        {"eml", SIGKILL, u8"二番", 0.07, -1, u8""},
    };
    std::map<std::string, std::map<std::string, std::string>> whole;   // format -> uninterrupted output
    int run = 0;
    for (const Case& c : cases) {
        const std::string what = std::string(c.format) + " " + U(c.watched) + " signal " + std::to_string(c.signal);
        if (!whole.count(c.format)) {
            const std::string out = root + "/whole-" + c.format;
            ASSERT_EQ(Convert("'" + big + "' '" + out + "' -q -f " + c.format).status, 0);
            whole[c.format] = Tree(out);
        }
        // A busy machine may let the run end before the watcher sees its moment: then again.
        std::string out, err;
        int status = 0;
        bool signalled = false;
        for (int attempt = 0; attempt < 3 && !signalled; ++attempt) {
            out = root + "/stopped" + std::to_string(run++);
            err = out + ".err";
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                ::nice(19);   // the watcher first
                std::freopen("/dev/null", "w", stdout);
                std::freopen(err.c_str(), "w", stderr);
                const std::string convert = Bin("velmora-convert");
                ::execl(convert.c_str(), convert.c_str(), big.c_str(), out.c_str(), "-f", c.format,
                        static_cast<char*>(nullptr));
                ::_exit(127);
            }
            const fs::path watched = out + "/" + U(c.watched);
            while (::waitpid(child, &status, WNOHANG) == 0) {
                std::error_code ec;
                const bool folder = fs::is_directory(watched, ec);
                const std::uintmax_t size =
                    folder ? static_cast<std::uintmax_t>(
                                 std::distance(fs::directory_iterator(watched, ec), fs::directory_iterator()))
                           : fs::file_size(watched, ec);
                const double tray = folder ? kMessages : kMessages * 7000.0;
                if (!signalled && !ec && static_cast<double>(size) >= c.when * tray) {
                    ::kill(child, c.signal);
                    signalled = true;
                }
                ::usleep(200);
            }
        }
        ASSERT_TRUE(signalled) << what << ": the run ended before the signal";
        const std::string said = ReadHost(err);
        if (c.status < 0) {
            EXPECT_TRUE(WIFSIGNALED(status)) << what;
        } else {
            ASSERT_TRUE(WIFEXITED(status)) << what;
            EXPECT_EQ(WEXITSTATUS(status), c.status) << what << "\n" << said;
            EXPECT_NE(said.find(U(c.says)), std::string::npos) << what << "\n" << said;
        }
        // Every file under a final name is the whole run's file; part files only after SIGKILL.
        const auto& expected = whole[c.format];
        int finals = 0;
        for (const auto& [name, bytes] : Tree(out)) {
            if (name.size() > 5 && name.substr(name.size() - 5) == ".part") {
                EXPECT_EQ(c.signal, SIGKILL) << what << ": " << name << " left";
                continue;
            }
            ++finals;
            const auto it = expected.find(name);
            ASSERT_NE(it, expected.end()) << what << ": " << name;
            EXPECT_TRUE(it->second == bytes) << what << ": " << name << " is not whole";
        }
        EXPECT_LT(finals, static_cast<int>(expected.size())) << what;
    }
}

// velmora-convert: its progress line and table, and the program run as a user
// runs it on a store made from the demo messages: bad input refused before
// anything is written, the tray list, conversions equal to `vmtool convert`'s,
// failures reported with both messages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "cli/ProgressMeter.h"
#include "cli/ThunderbirdProfile.h"
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

// ---- Thunderbird's profile list ------------------------------------------------------

TEST(ConvertCliThunderbird, IniTextIsReadAsMozillaWritesIt)
{
    using Entries = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* what;
        std::string text;
        bool ok;
        std::vector<std::pair<std::string, Entries>> sections;
    } cases[] = {
        {"LF, blanks trimmed, comments", "; c\n# c\n[General]\n  StartWithLastProfile = 1 \n\n[Profile0]\nName=a b\n",
         true, {{"General", {{"StartWithLastProfile", "1"}}}, {"Profile0", {{"Name", "a b"}}}}},
        {"BOM, CR LF and CR, the last of a key kept", "\xEF\xBB\xBF[A]\r\nk=1\r\nk=2\rj=x=y\r", true,
         {{"A", {{"k", "2"}, {"j", "x=y"}}}}},
        {"entries outside a section, without '=' or a key ignored", "k=v\n[A]\nnoequals\n=v\nk=\n", true,
         {{"A", {{"k", ""}}}}},
        {"a section line without ']' drops its entries", "[A]\na=1\n[B\nb=2\n[C] trailing\nc=3", true,
         {{"A", {{"a", "1"}}}, {"C", {{"c", "3"}}}}},
        {"a NUL byte is a byte", std::string("[A]\nk=a\0b\n", 10), true, {{"A", {{"k", std::string("a\0b", 3)}}}}},
        {"too large", std::string(kMaxIniBytes + 1, ' '), false, {}},
    };
    for (const Case& c : cases) {
        std::vector<IniSection> sections;
        EXPECT_EQ(ParseIni(c.text, sections), c.ok) << c.what;
        std::vector<std::pair<std::string, Entries>> got;
        for (const IniSection& section : sections)
            got.emplace_back(section.name, section.entries);
        EXPECT_EQ(got, c.sections) << c.what;
    }
    std::string many;
    for (std::size_t n = 0; n <= kMaxIniSections; ++n)
        many += "[S]\n";
    std::vector<IniSection> sections;
    EXPECT_FALSE(ParseIni(many, sections));
    EXPECT_EQ(sections.size(), kMaxIniSections);
}

TEST(ConvertCliThunderbird, TheDefaultProfileIsTheInstallsThenTheMarkedOneThenTheOnlyOne)
{
    const std::string two = "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/a.default\n"
                            "[Profile1]\nName=work\nIsRelative=0\nPath=/data/work\n";
    const std::string win = "C:\\Users\\hanako\\AppData\\Roaming\\Thunderbird";
    struct Case {
        const char* what;
        PathStyle style;
        std::optional<std::string> profiles, installs;
        ProfileChoice::Outcome outcome;
        std::string path;   // chosen, or the candidates joined by "|"
    } cases[] = {
        {"no profiles.ini", PathStyle::kPosix, std::nullopt, std::nullopt, ProfileChoice::kNoList, ""},
        {"no profile", PathStyle::kPosix, "[General]\nStartWithLastProfile=1\n[Profile0]\nName=x\n", std::nullopt,
         ProfileChoice::kNoProfile, ""},
        {"the only one, unmarked", PathStyle::kPosix, "[Profile0]\nIsRelative=1\nPath=p\n", std::nullopt,
         ProfileChoice::kChosen, "/h/.thunderbird/p"},
        {"two, none marked", PathStyle::kPosix, two, std::nullopt, ProfileChoice::kAmbiguous,
         "/h/.thunderbird/Profiles/a.default|/data/work"},
        {"marked Default=1", PathStyle::kPosix, two + "Default=1\n", std::nullopt, ProfileChoice::kChosen, "/data/work"},
        {"profiles.ini's install section first", PathStyle::kPosix,
         "[Install4F96D1932A9F858E]\nDefault=Profiles/a.default\nLocked=1\n" + two + "Default=1\n",
         "[ABC]\nDefault=/data/work\n", ProfileChoice::kChosen, "/h/.thunderbird/Profiles/a.default"},
        {"installs.ini when profiles.ini has none, by absolute path", PathStyle::kPosix, two,
         "[4F96D1932A9F858E]\nDefault=/data/work\n", ProfileChoice::kChosen, "/data/work"},
        {"installs disagreeing: the marked one", PathStyle::kPosix,
         "[InstallA]\nDefault=Profiles/a.default\n[InstallB]\nDefault=/data/work\n" + two + "Default=1\n", std::nullopt,
         ProfileChoice::kChosen, "/data/work"},
        {"installs naming no listed profile, none marked", PathStyle::kPosix, "[InstallA]\nDefault=Profiles/gone\n" + two,
         std::nullopt, ProfileChoice::kAmbiguous, "/h/.thunderbird/Profiles/a.default|/data/work"},
        {"Windows: relative paths under %APPDATA%\\Thunderbird", PathStyle::kWindows,
         "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/x.default\r\n[Profile1]\r\nName=b\r\n"
         "IsRelative=0\r\nPath=D:\\mail\\b\r\nDefault=1\r\n",
         "[308046B0AF4A39CB]\r\nDefault=Profiles/x.default\r\n", ProfileChoice::kChosen,
         win + "\\Profiles\\x.default"},
        {"Windows: Default=1 with an absolute path", PathStyle::kWindows,
         "[Profile0]\nName=b\nIsRelative=0\nPath=D:\\mail\\b\nDefault=1\n[Profile1]\nPath=c\nIsRelative=1\n",
         std::nullopt, ProfileChoice::kChosen, "D:\\mail\\b"},
        {"a profiles.ini too large is no list", PathStyle::kPosix, std::string(kMaxIniBytes + 1, '\n'), std::nullopt,
         ProfileChoice::kNoList, ""},
    };
    for (const Case& c : cases) {
        const std::string folder = c.style == PathStyle::kWindows
                                       ? ThunderbirdIniFolder(c.style, false, "", "C:\\Users\\hanako\\AppData\\Roaming")
                                       : ThunderbirdIniFolder(c.style, false, "/h", "");
        std::vector<std::string> asked;
        const ProfileChoice choice = ChooseDefaultProfile(folder, c.style, [&](const std::string& name) {
            asked.push_back(name);
            return name == "profiles.ini" ? c.profiles : name == "installs.ini" ? c.installs : std::nullopt;
        });
        EXPECT_EQ(choice.outcome, c.outcome) << c.what;
        std::string got = choice.profile.path;
        for (const ThunderbirdProfile& p : choice.candidates)
            got += (got.empty() ? "" : "|") + p.path;
        EXPECT_EQ(got, c.path) << c.what;
        for (const std::string& name : asked)
            EXPECT_TRUE(name == "profiles.ini" || name == "installs.ini") << c.what << ": " << name;
    }
    EXPECT_EQ(ThunderbirdIniFolder(PathStyle::kPosix, true, "/Users/h/", ""), "/Users/h/Library/Thunderbird");
    EXPECT_EQ(ThunderbirdIniFolder(PathStyle::kPosix, false, "", ""), "");
    EXPECT_EQ(ThunderbirdIniFolder(PathStyle::kWindows, false, "/h", ""), "");
    EXPECT_EQ(ProfileLockNames(PathStyle::kWindows), std::vector<std::string>{"parent.lock"});
    EXPECT_EQ(ProfileLockNames(PathStyle::kPosix), (std::vector<std::string>{"lock", ".parentlock"}));
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

// --format thunderbird: the netscape mailboxes, the same bytes, under
// Local Folders/Velmora.sbd of the profile given or of the default one; a
// second run takes the next free name for the pair.
TEST_F(ConvertCliTest, ThunderbirdGetsTheNetscapeMailboxesInLocalFolders)
{
    const std::string netscape = root + "/netscape";
    ASSERT_EQ(Convert("'" + store + "' '" + netscape + "' -q -f netscape").status, 0);
    const auto expected = Tree(netscape);
    ASSERT_EQ(expected.size(), 5u);

    const std::string home = root + "/home", tb = home + "/.thunderbird";
    fs::create_directories(tb + "/Profiles/b.default/Mail/Local Folders");
    fs::create_directories(tb + "/Profiles/other");
    std::ofstream(tb + "/Profiles/b.default/prefs.js") << "\n";
    std::ofstream(tb + "/Profiles/b.default/.parentlock");   // left by a Thunderbird that has quit
    std::ofstream(tb + "/profiles.ini") << "[Profile1]\nName=other\nIsRelative=1\nPath=Profiles/other\n\n"
                                           "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/b.default\nDefault=1\n";
    // Mail/Local Folders missing, its account in prefs.js: it is made.
    const std::string fresh = root + "/fresh";
    fs::create_directories(fresh);
    std::ofstream(fresh + "/prefs.js") << "user_pref(\"mail.server.server1.directory-rel\", \"[ProfD]Mail/Local Folders\");\n";
    // A Local Folders with a "Velmora.sbd" of the user's: the pair takes the next number.
    const std::string used = root + "/used", usedLocal = used + "/Mail/Local Folders";
    fs::create_directories(usedLocal + "/Velmora.sbd");
    std::ofstream(usedLocal + "/Inbox") << "From - x\n";
    struct Case {
        std::string args;        // after the store
        std::string profile;     // where the folder goes
        std::string name;        // the folder's name
    } cases[] = {
        {"-f thunderbird --profile '" + fresh + "'", fresh, "Velmora"},
        {"--format=thunderbird --profile='" + fresh + "/'", fresh, "Velmora[01]"},
        {"--format thunderbird", tb + "/Profiles/b.default", "Velmora"},
        {"--profile '" + used + "' -f thunderbird --csv '" + root + "/book.csv'", used, "Velmora[01]"},
    };
    for (const Case& c : cases) {
        const std::string local = c.profile + "/Mail/Local Folders/";
        const Ran r = Shell("HOME='" + home + "' '" + Bin("velmora-convert") + "' '" + store + "' " + c.args, root);
        EXPECT_EQ(r.status, 0) << c.args << "\n" << r.err;
        EXPECT_EQ(r.err, "") << c.args;
        EXPECT_NE(r.out.find(U(u8"受信トレイ           6   5843  受信トレイ\n")), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Thunderbird shows the folder " + c.name + " in Local Folders when it next starts.\n"),
                  std::string::npos)
            << r.out;
        EXPECT_TRUE(Tree(local + c.name + ".sbd") == expected) << c.args;
        EXPECT_TRUE(fs::is_regular_file(local + c.name)) << c.args;
        EXPECT_EQ(fs::file_size(local + c.name), 0u) << c.args;
    }
    // Nothing else in the profiles was touched.
    EXPECT_EQ(Tree(usedLocal).size(), 1u + 1u + 5u);   // Inbox, Velmora[01] and its mailboxes
    EXPECT_EQ(ReadHost(usedLocal + "/Inbox"), "From - x\n");
    EXPECT_TRUE(fs::is_empty(usedLocal + "/Velmora.sbd"));
    EXPECT_TRUE(fs::is_empty(tb + "/Profiles/other"));
    EXPECT_TRUE(fs::exists(root + "/book.csv"));
}

// A profile in use, missing or not chosen is refused with exit 2, and the
// profile stays byte for byte as it was.
TEST_F(ConvertCliTest, ThunderbirdProfilesInUseMissingOrUnclearAreRefused)
{
    const std::string profile = root + "/profile", home = root + "/home", tb = home + "/.thunderbird";
    fs::create_directories(profile + "/Mail/Local Folders");
    std::ofstream(profile + "/prefs.js") << "user_pref(\"x\", 1);\n";
    fs::create_directories(tb + "/a");
    fs::create_directories(tb + "/b");
    fs::create_directories(home + "/plain");
    fs::create_directories(home + "/new");
    std::ofstream(home + "/new/times.json") << "{}";
    const std::string two = "[Profile0]\nName=a\nIsRelative=1\nPath=a\n[Profile1]\nName=b\nIsRelative=0\nPath=" + tb + "/b\n";
    const std::string p = "--profile '" + profile + "'";
    struct Case {
        std::string args;
        std::string lock;          // made in the profile for the run: a file, or "lock" a dangling link
        std::string ini;           // profiles.ini of HOME (none when empty)
        std::string says;
    } cases[] = {
        {"-f thunderbird " + p, "lock", "", "is in use (its lock file lock is there): close Thunderbird first"},
        {"-f thunderbird " + p, ".parentlock", "", "is in use (its lock file .parentlock is there): close Thunderbird"},
        {"-f thunderbird", ".parentlock", "[Profile0]\nIsRelative=0\nPath=" + profile + "\n", "close Thunderbird first"},
        {"-f thunderbird --profile '" + root + "/nowhere'", "", "", "Thunderbird profile " + root + "/nowhere: no such folder"},
        {"-f thunderbird --profile '" + profile + "/prefs.js'", "", "", "is not a folder"},
        {"-f thunderbird --profile '" + home + "/plain'", "", "", "does not look like a profile"},
        // Never started: Thunderbird would make a Local Folders of its own.
        {"-f thunderbird --profile '" + home + "/new'", "", "", "has no Local Folders yet: start Thunderbird with it once"},
        {"-f thunderbird", "", "", "no Thunderbird profile list " + tb + "/profiles.ini"},
        {"-f thunderbird", "", "[General]\nStartWithLastProfile=1\n", "lists no Thunderbird profile"},
        {"-f thunderbird", "", two, "lists 2 Thunderbird profiles and none is the default: give the profile folder "
                                    "with --profile DIR of one of them:\n  a  " + tb + "/a\n  b  " + tb + "/b"},
        {"-f thunderbird " + p + " --csv '" + profile + "/book.csv'", "", "", "lies inside the Thunderbird profile"},
        {"'" + root + "/out' -f thunderbird", "", "", "--format thunderbird takes no output folder"},
        {"'" + root + "/out' -f mbox " + p, "", "", "--profile goes with --format thunderbird"},
        {"-f thunderbird --profile ''", "", "", "--profile needs a folder name"},
        {"--list " + p, "", "", "--list takes the store folder alone"},
    };
    auto snapshot = [&] {
        std::map<std::string, std::string> files;
        for (const std::string& folder : {profile, home})
            for (const auto& e : fs::recursive_directory_iterator(folder))
                files[e.path().string()] = e.is_symlink() ? "<link>" : e.is_regular_file() ? ReadHost(e.path()) : "<folder>";
        return files;
    };
    for (const Case& c : cases) {
        if (c.lock == "lock")
            fs::create_symlink("127.0.0.1:+4242", profile + "/lock");
        else if (!c.lock.empty())
            std::ofstream(profile + "/" + c.lock);
        if (!c.ini.empty())
            std::ofstream(tb + "/profiles.ini") << c.ini;
        const auto before = snapshot();
        // A running Thunderbird holds a lock on its .parentlock: this process does here
        // (after the snapshot: closing any descriptor of the file would let go of the lock).
        const int held = c.lock == ".parentlock" ? ::open((profile + "/.parentlock").c_str(), O_RDWR) : -1;
        if (held >= 0) {
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            ASSERT_EQ(::fcntl(held, F_SETLK, &lock), 0);
        }
        const Ran r = Shell("HOME='" + home + "' '" + Bin("velmora-convert") + "' '" + store + "' " + c.args, root);
        EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_TRUE(snapshot() == before) << c.args;
        EXPECT_FALSE(fs::exists(root + "/out")) << c.args;
        if (held >= 0)
            ::close(held);
        if (!c.lock.empty())
            fs::remove(profile + "/" + c.lock);
        fs::remove(tb + "/profiles.ini");
    }
}

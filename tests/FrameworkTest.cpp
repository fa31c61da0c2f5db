// The framework stand-in: strings, files, Shift_JIS walking, the POSIX machine.
#include <gtest/gtest.h>

#include <iconv.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "framework/File.h"
#include "framework/Platform.h"
#include "framework/Sjis.h"
#include "tests/TestSupport.h"

TEST(CStringTest, BasicsAndClamping)
{
    CString s("abc");
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s.Left(10), "abc");
    EXPECT_EQ(s.Mid(1), "bc");
    EXPECT_EQ(s.Mid(5), "");
    EXPECT_EQ(s.Right(2), "bc");
    EXPECT_EQ(s.Find('c'), 2);
    EXPECT_EQ(s.Find("bc"), 1);
    EXPECT_EQ(s.Find('x'), -1);
    EXPECT_EQ(s[7], 0);
    CString t;
    t.Format("%s[%02d]", "x", 100);
    EXPECT_EQ(t, "x[100]");
    CString withNul("a\0b", 3);
    EXPECT_EQ(withNul.GetLength(), 3);
    EXPECT_EQ(CString("From: x").CompareNoCase("FROM: X"), 0);
}

TEST(SjisTest, TrailBytesAreNotSeparators)
{
    // 表 is 0x95 0x5C; ソ is 0x83 0x5C.
    CString hyo("\x95\x5C", 2);
    EXPECT_EQ(SjisFind(hyo, '\\'), -1);
    EXPECT_EQ(hyo.Find('\\'), 1);
    CString path = CString("D:\\") + hyo;
    EXPECT_EQ(SjisReverseFind(path, '\\'), 2);
    EXPECT_FALSE(SjisEndsWith(path, '\\'));
    CString trimmed = path + "\\\\";
    SjisTrimRight(trimmed, '\\');
    EXPECT_EQ(trimmed, path);
    SjisTrimRight(path, '\\');
    EXPECT_EQ(path.GetLength(), 5);
    EXPECT_EQ(SjisClampLength(CString("a\x95\x5C"), 2), 1);

    // The codes code page 932 assigns, against the system's own CP932 decoder.
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = 0x00; trail <= 0xFF; ++trail) {
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[8];
            char* inp = in;
            char* outp = out;
            size_t inLeft = 2, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const bool decoded = iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) &&
                                 inLeft == 0 && outLeft == sizeof out - 2;
            EXPECT_EQ(IsCp932Assigned(static_cast<BYTE>(lead), static_cast<BYTE>(trail)),
                      decoded && IsSjisLeadByte(static_cast<BYTE>(lead)))
                << std::hex << lead << " " << trail;
        }
    }
    iconv_close(cd);

    // Long paths in messages break after a "\", else between characters; so
    // do the runs of single-byte characters a message box cannot break (bytes
    // counted here), and nothing else.
    struct Wrap {
        const char* path;
        int width;
        const char* lines;
        bool runs = false;   // SjisBreakLongRuns, else SjisWrapPath
    } wraps[] = {
        {"C:\\short", 60, "C:\\short"},
        {"C:\\abc\\def\\ghi", 8, "C:\\abc\\\ndef\\ghi"},
        {"C:\\abcdefghij", 5, "C:\\\nabcde\nfghij"},
        {"表表表表表", 5, "表表\n表表\n表"},   // never between a lead and a trail byte
        {"D:\\表\\ソ\\能", 6, "D:\\表\\\nソ\\能"},
        {"", 10, ""},
        {"aaaaaa bb\tcc 表表表表表表\nddddd\n", 4, "aaaa\naa bb\tcc 表表表表表表\ndddd\nd\n", true},
        {"C:\\ab\\cdefg", 4, "C:\\\nab\\\ncdef\ng", true},
        {"abc表abc\\abc", 2, "ab\nc表ab\nc\\\nab\nc", true},   // 表 ends in 0x5C: no "\"
        {"", 1, "", true},
    };
    for (const Wrap& w : wraps) {
        EXPECT_EQ(w.runs ? SjisBreakLongRuns(w.path, w.width, [](const char*, int length) { return length; })
                         : SjisWrapPath(w.path, w.width),
                  w.lines)
            << w.path;
    }
}

TEST(PosixMachineTest, ShiftJisNamesRoundTripAsUtf8)
{
    TempMachine tm;
    CString name = CString("C:\\out\\受信トレイ\\表ソ能.mbx");
    ASSERT_EQ(platform::MakeFolder("C:\\out"), 0u);
    ASSERT_EQ(platform::MakeFolder(CString("C:\\out\\受信トレイ")), 0u);
    EXPECT_EQ(platform::MakeFolder(CString("C:\\out\\受信トレイ")), kErrorAlreadyExists);
    CFile f;
    ASSERT_TRUE(f.Open(name, CFile::modeCreate | CFile::modeWrite));
    ASSERT_TRUE(f.Write("hi", 2));
    f.Close();
    EXPECT_TRUE(std::filesystem::exists(tm.root() + Utf8(u8"/c/out/受信トレイ/表ソ能.mbx")));
    CFileStatus st;
    ASSERT_TRUE(CFile::GetStatus(name, st));
    EXPECT_EQ(st.m_size, 2u);
    EXPECT_EQ(st.m_attribute & platform::kAttrDirectory, 0);
    ASSERT_TRUE(CFile::GetStatus("c:/out", st));
    EXPECT_EQ(st.m_attribute & platform::kAttrDirectory, platform::kAttrDirectory);
}

TEST(PosixMachineTest, MissingPathsGiveWindowsErrors)
{
    TempMachine tm;
    CFile f;
    DWORD err = 0;
    EXPECT_FALSE(f.Open("C:\\nope.txt", CFile::modeRead, &err));
    EXPECT_EQ(err, kErrorFileNotFound);
    EXPECT_FALSE(f.Open("C:\\no\\dir\\x.txt", CFile::modeCreate | CFile::modeWrite, &err));
    EXPECT_EQ(err, kErrorPathNotFound);
    EXPECT_FALSE(f.Open("C:\\Temp", CFile::modeRead, &err));   // a folder is no file
    EXPECT_EQ(err, kErrorAccessDenied);
    EXPECT_FALSE(f.Open("Q:\\x", CFile::modeRead, &err));      // unmapped drive
    EXPECT_EQ(platform::MakeFolder("C:\\a\\b"), kErrorPathNotFound);
}

TEST(PosixMachineTest, RegistryValuesAreCutToTheBuffer)
{
    TempMachine tm;
    tm.machine().SetRegistryValue("HKLM\\SOFTWARE\\K", "Path", CString(std::string(300, 'x')));
    tm.machine().AddRegistryKey("HKCU\\SOFTWARE\\Empty");
    tm.Apply();
    char buf[255] = {};
    EXPECT_TRUE(platform::ReadRegistryValue(platform::kHkeyLocalMachine, "software\\k", "PATH", buf, 255));
    EXPECT_EQ(std::string(buf).size(), 254u);
    char other[255] = {};
    EXPECT_TRUE(platform::ReadRegistryValue(platform::kHkeyCurrentUser, "SOFTWARE\\Empty", "", other, 255));
    EXPECT_EQ(other[0], 0);
    EXPECT_FALSE(platform::ReadRegistryValue(platform::kHkeyCurrentUser, "SOFTWARE\\None", "", other, 255));
}

TEST(PosixMachineTest, LocalTimesAndFileTimes)
{
    TempMachine tm;
    const char* const savedTz = std::getenv("TZ");
    const std::string saved = savedTz ? savedTz : "";
    struct Case {
        std::optional<int> machineZone;   // the machine's zone wins over the host's TZ
        const char* tz;
        platform::LocalTime local;
        std::int64_t utc;
    } cases[] = {
        {540, "EST5EDT", {2003, 1, 6, 0, 9, 5, 3}, 1041811503},
        {-210, "JST-9", {2003, 1, 6, 0, 9, 5, 3}, 1041856503},
        {std::nullopt, "JST-9", {2003, 1, 6, 0, 9, 5, 3}, 1041811503},
        {std::nullopt, "EST5EDT", {2003, 7, 1, 0, 12, 0, 0}, 1057075200},   // summer time
        {std::nullopt, "UTC0", {2008, 12, 31, 0, 23, 59, 60}, 1230768000},   // a leap second
    };
    for (const Case& c : cases) {
        setenv("TZ", c.tz, 1);
        tzset();
        tm.machine().zoneMinutes = c.machineZone;
        tm.Apply();
        std::int64_t utc = 0;
        EXPECT_TRUE(platform::LocalTimeToUtc(c.local, &utc)) << c.tz;
        EXPECT_EQ(utc, c.utc) << c.tz;
    }
    // Without a fixed clock the machine's zone also makes the local time.
    std::int64_t now = 0;
    EXPECT_TRUE(platform::LocalTimeToUtc(platform::LocalClock(), &now));
    EXPECT_NEAR(static_cast<double>(now), static_cast<double>(std::time(nullptr)), 2.0);
    if (savedTz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();

    // The description's "zone" and "read-fault" lines.
    const std::string description = tm.root() + "/machine.txt";
    PosixMachine m;
    std::string error;
    for (const char* bad : {"zone 0900", "zone +09:00", "zone +0960", "read-fault C:\\x", "read-fault 12x C:\\x",
                            "read-fault 7", "read-fault -1 C:\\x"}) {
        std::ofstream(description) << bad << "\n";
        EXPECT_FALSE(LoadPosixMachine(description, &m, &error)) << bad;
    }
    std::ofstream(description) << "zone -0930\nread-fault 4096 C:\\Store\\" << Utf8(u8"受信トレイ") << "\\a b.mbx\n";
    ASSERT_TRUE(LoadPosixMachine(description, &m, &error)) << error;
    EXPECT_EQ(m.zoneMinutes, -570);
    EXPECT_EQ(m.readFaults, (std::map<std::string, std::uint64_t>{{CString("C:\\Store\\受信トレイ\\a b.mbx").Str(), 4096}}));

    // A file's last-write time, set on the open file after its last write.
    CFile f;
    EXPECT_FALSE(f.SetModifiedTime(0));
    ASSERT_TRUE(f.Open("C:\\t.eml", CFile::modeCreate | CFile::modeWrite));
    ASSERT_TRUE(f.Write("x", 1));
    EXPECT_TRUE(f.SetModifiedTime(1041811503));
    f.Close();
    struct stat st;
    ASSERT_EQ(::stat(tm.Host("C:\\t.eml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1041811503);
    EXPECT_FALSE(f.HasError());
}

TEST(StdioFileTest, TextModeTranslatesLineEnds)
{
    TempMachine tm;
    tm.WriteFile("C:\\t.txt", "a\r\nb\n\r\nc\rd");
    CStdioFile in;
    ASSERT_TRUE(in.Open("C:\\t.txt", CFile::modeRead | CFile::typeText));
    CString line;
    std::vector<std::string> lines;
    while (in.ReadString(line))
        lines.push_back(line.Str());
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "", "c\rd"}));
    CStdioFile out;
    ASSERT_TRUE(out.Open("C:\\o.txt", CFile::modeCreate | CFile::modeWrite | CFile::typeText));
    EXPECT_TRUE(out.WriteString("x\ny\n"));
    out.Close();
    EXPECT_EQ(tm.ReadFile("C:\\o.txt"), "x\r\ny\r\n");
}

TEST(PlatformTest, WideStringsBecomeShiftJis)
{
    const std::uint16_t text[] = {0x53D7, 0x4FE1, 0x0041, 0xD83D};   // 受信A + lone surrogate
    EXPECT_EQ(platform::Utf16ToSjis(text, 3), CString("受信A"));
    EXPECT_EQ(platform::Utf16ToSjis(text + 2, 2), "A?");
    // To UTF-8 (the vCard export's), as the Windows-side test has it too.
    for (const auto& [utf16, utf8] : std::initializer_list<std::pair<std::u16string, std::string>>{
             {u"\uff71\uff9f", "\xEF\xBD\xB1\xEF\xBE\x9F"},
             {u"a\u20ac\u8868", "a\xE2\x82\xAC\xE8\xA1\xA8"},
             {u"x\xd83d\xde00y", "x\xF0\x9F\x98\x80y"},
             {u"x\xd800y\xdc00", "x\xEF\xBF\xBDy\xEF\xBF\xBD"},   // lone surrogates
             {u"\xde00\xd83d", "\xEF\xBF\xBD\xEF\xBF\xBD"},
             {u"", ""}}) {
        std::string out = "<";
        platform::AppendUtf16AsUtf8(utf16.data(), utf16.size(), out);
        EXPECT_EQ(out, "<" + utf8);
    }
}

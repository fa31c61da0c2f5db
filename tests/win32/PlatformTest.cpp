// The Windows platform layer against the real APIs (run under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "coding/Charset.h"
#include "framework/Platform.h"
#include "framework/Registry.h"
#include "framework/win32/WideText.h"
#include "writers/PartFile.h"
#include "res/resource.h"
#include "res/strings.h"
#include "tests/CharsetCases.h"
#include "tests/win32/Win32TestSupport.h"

namespace {

// A fresh folder under the temporary folder, removed with what it holds.
class ScratchFolder {
public:
    ScratchFolder()
    {
        static int serial = 0;
        m_path.Format("%svelmora-test-%lu-%d", TempFolder().GetString(),
                      ::GetCurrentProcessId(), ++serial);
        EXPECT_EQ(platform::MakeFolder(m_path), 0u);
    }
    ~ScratchFolder() { Remove(m_path); }
    CString operator/(const char* name) const { return m_path + "\\" + name; }
    const CString& Path() const { return m_path; }

private:
    static void Remove(const CString& path)
    {
        CStringArray names;
        if (ListFolder(path, &names))
            for (const CString& name : names) {
                CString child = path + "\\" + name;
                platform::FileStatus st;
                if (platform::GetFileStatus(child, &st) && (st.attribute & platform::kAttrDirectory))
                    Remove(child);
                else
                    platform::RemoveFile(child);
            }
        ::RemoveDirectoryW(wide::FilePath(path).c_str());
    }
    CString m_path;
};

bool WriteWhole(const char* path, const std::string& bytes)
{
    platform::FileHandle f = platform::OpenFileHandle(path, platform::kOpenWrite | platform::kOpenCreate, nullptr);
    if (f == platform::kInvalidFile)
        return false;
    bool ok = platform::WriteBytes(f, bytes.data(), static_cast<UINT>(bytes.size()));
    platform::CloseFile(f);
    return ok;
}

std::string ReadWhole(const char* path)
{
    platform::FileHandle f = platform::OpenFileHandle(path, platform::kOpenRead, nullptr);
    if (f == platform::kInvalidFile)
        return "<cannot open>";
    std::string out(4096, '\0');
    UINT done = 0;
    platform::ReadBytes(f, out.data(), static_cast<UINT>(out.size()), &done);
    platform::CloseFile(f);
    out.resize(done);
    return out;
}

}  // namespace

// Names whose Shift_JIS trail byte is 0x5C ("\") must reach the file system whole.
TEST(Win32Files, JapaneseNamesRoundTrip)
{
    ScratchFolder dir;
    const char* names[] = {"受信トレイ.mbx", "表示ソフト能力", "ゴミ箱"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        CString path = dir / name;
        ASSERT_TRUE(WriteWhole(path, std::string("From \r\nbody\0x", 13)));
        EXPECT_EQ(ReadWhole(path), std::string("From \r\nbody\0x", 13));
        platform::FileStatus st;
        ASSERT_TRUE(platform::GetFileStatus(path, &st));
        EXPECT_EQ(st.size, 13u);
        EXPECT_EQ(st.attribute & platform::kAttrDirectory, 0);
    }
    CStringArray listed;
    ASSERT_TRUE(ListFolder(dir.Path(), &listed));
    ASSERT_EQ(listed.GetSize(), 3);
    for (const char* name : names) {
        bool found = false;
        for (const CString& n : listed)
            found = found || n == name;
        EXPECT_TRUE(found) << name;
    }
    // The file system holds the names' Unicode form, not their bytes read
    // in the system's code page.
    const std::wstring expected = wide::FromSjis(dir.Path()) + L"\\\u8868\u793a\u30bd\u30d5\u30c8\u80fd\u529b";
    EXPECT_NE(::GetFileAttributesW(expected.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Paths longer than MAX_PATH: folders, files, status, listing and deletion.
TEST(Win32Files, LongPathsWork)
{
    ScratchFolder dir;
    CString path = dir.Path();
    for (int i = 0; path.GetLength() < 400; ++i) {
        path += "\\長いフォルダの名前ソ表能" + CString(std::to_string(i));
        ASSERT_EQ(platform::MakeFolder(path), 0u) << path.GetLength();
    }
    const CString file = path + "\\受信トレイ.mbx";
    ASSERT_TRUE(WriteWhole(file, "From \r\n"));
    EXPECT_EQ(ReadWhole(file), "From \r\n");
    platform::FileStatus st;
    ASSERT_TRUE(platform::GetFileStatus(file, &st));
    EXPECT_EQ(st.size, 7u);
    EXPECT_TRUE(platform::IsSameFile(file, file));
    CStringArray listed;
    ASSERT_TRUE(ListFolder(path, &listed));
    ASSERT_EQ(listed.GetSize(), 1);
    EXPECT_EQ(listed[0], "受信トレイ.mbx");
    EXPECT_TRUE(platform::RemoveFile(file));
    EXPECT_FALSE(platform::GetFileStatus(file, &st));
}

TEST(Win32Files, OpenModesSeekAndErrors)
{
    ScratchFolder dir;
    CString path = dir / "a.bin";
    ASSERT_TRUE(WriteWhole(path, "0123456789"));

    // Create without truncation keeps the bytes; plain create empties.
    platform::FileHandle f = platform::OpenFileHandle(
        path, platform::kOpenReadWrite | platform::kOpenCreate | platform::kOpenNoTruncate, nullptr);
    ASSERT_NE(f, platform::kInvalidFile);
    std::uint64_t size = 0, pos = 0;
    ASSERT_TRUE(platform::GetFileLength(f, &size));
    EXPECT_EQ(size, 10u);
    ASSERT_TRUE(platform::SeekFile(f, -3, 2, &pos));
    EXPECT_EQ(pos, 7u);
    char buf[8] = {};
    UINT done = 0;
    ASSERT_TRUE(platform::ReadBytes(f, buf, sizeof buf, &done));
    EXPECT_EQ(std::string(buf, done), "789");
    ASSERT_TRUE(platform::ReadBytes(f, buf, sizeof buf, &done));
    EXPECT_EQ(done, 0u);
    platform::CloseFile(f);

    f = platform::OpenFileHandle(path, platform::kOpenWrite | platform::kOpenCreate, nullptr);
    ASSERT_NE(f, platform::kInvalidFile);
    platform::CloseFile(f);
    EXPECT_EQ(ReadWhole(path), "");

    DWORD error = 0;
    EXPECT_EQ(platform::OpenFileHandle(dir / "missing.txt", platform::kOpenRead, &error), platform::kInvalidFile);
    EXPECT_EQ(error, kErrorFileNotFound);
    EXPECT_EQ(platform::OpenFileHandle(dir / "no\\such.txt", platform::kOpenRead, &error), platform::kInvalidFile);
    EXPECT_EQ(error, kErrorPathNotFound);

    EXPECT_TRUE(platform::RemoveFile(path));
    EXPECT_FALSE(platform::RemoveFile(path));
}

// A part file gets its final name only when complete: never over another
// file unless asked to, a taken part name numbered, an abandoned one gone.
TEST(Win32Files, PartFilesTakeTheirFinalNameOnlyWhenComplete)
{
    struct Case {
        const char* what;
        const char* existing;   // a file there before, "" none
        bool replace, abandon;
        const char* given;      // the name it gets ("" none)
    } cases[] = {
        {"free name", "", false, false, "受信トレイ.mbx"},
        {"final name taken", "受信トレイ.mbx", false, false, "受信トレイ[01].mbx"},
        {"final name replaced", "受信トレイ.mbx", true, false, "受信トレイ.mbx"},
        {"part name taken", "受信トレイ.mbx.part", false, false, "受信トレイ.mbx"},
        {"abandoned", "", false, true, ""},
    };
    for (const Case& c : cases) {
        ScratchFolder dir;
        const CString final = dir / "受信トレイ.mbx";
        if (*c.existing) {
            ASSERT_TRUE(WriteWhole(dir / c.existing, "old")) << c.what;
        }
        {
            CFile file;
            CPartFile part(file);
            ASSERT_TRUE(part.Create(PartFileName(final), CFile::modeWrite | CFile::typeBinary)) << c.what;
            ASSERT_TRUE(file.Write("new", 3)) << c.what;
            // Nothing has the final name while the file is written.
            CStringArray listed;
            ASSERT_TRUE(ListFolder(dir.Path(), &listed));
            for (const CString& name : listed)
                EXPECT_TRUE(name == c.existing || name.Right(5) == ".part") << c.what << ": " << name;
            if (!c.abandon) {
                CString given;
                ASSERT_TRUE(part.Close(true)) << c.what;
                ASSERT_TRUE(part.Rename(final, c.replace, nullptr, &given)) << c.what;
                EXPECT_EQ(given, dir / c.given) << c.what;
            }
        }
        CStringArray listed;
        ASSERT_TRUE(ListFolder(dir.Path(), &listed));
        EXPECT_EQ(listed.GetSize(), (*c.existing && !c.replace ? 1 : 0) + (*c.given ? 1 : 0)) << c.what;
        if (*c.given) {
            EXPECT_EQ(ReadWhole(dir / c.given), "new") << c.what;
        }
        if (*c.existing && !c.replace) {
            EXPECT_EQ(ReadWhole(dir / c.existing), "old") << c.what;
        }
    }
    // The platform's own answers for a taken name.
    ScratchFolder dir;
    ASSERT_TRUE(WriteWhole(dir / "a", "a"));
    ASSERT_TRUE(WriteWhole(dir / "b", "b"));
    DWORD error = 0;
    EXPECT_EQ(platform::OpenFileHandle(dir / "a", platform::kOpenWrite | platform::kOpenCreate | platform::kOpenCreateNew,
                                       &error),
              platform::kInvalidFile);
    EXPECT_EQ(error, kErrorAlreadyExists);
    EXPECT_EQ(platform::MoveFileTo(dir / "a", dir / "b", false), kErrorAlreadyExists);
    EXPECT_EQ(ReadWhole(dir / "b"), "b");
}

TEST(Win32Files, StatusOfFileAndFolder)
{
    ScratchFolder dir;
    ASSERT_TRUE(WriteWhole(dir / "f.txt", "abc"));
    ASSERT_EQ(platform::MakeFolder(dir / "表"), 0u);

    platform::FileStatus st;
    ASSERT_TRUE(platform::GetFileStatus(dir / "f.txt", &st));
    EXPECT_EQ(st.attribute & platform::kAttrDirectory, 0);
    EXPECT_EQ(st.size, 3u);
    ASSERT_TRUE(platform::GetFileStatus(dir / "表", &st));
    EXPECT_EQ(st.attribute & platform::kAttrDirectory, platform::kAttrDirectory);
    EXPECT_FALSE(platform::GetFileStatus(dir / "nothing", &st));
}

TEST(Win32Files, ModifiedTimeOfAnOpenFile)
{
    ScratchFolder dir;
    const CString path = dir / "m.eml";
    platform::FileHandle f = platform::OpenFileHandle(path, platform::kOpenWrite | platform::kOpenCreate, nullptr);
    ASSERT_NE(f, platform::kInvalidFile);
    ASSERT_TRUE(platform::WriteBytes(f, "x", 1));
    EXPECT_TRUE(platform::SetFileModifiedTime(f, 1041811503));   // 2003-01-06 00:05:03 UTC
    EXPECT_FALSE(platform::SetFileModifiedTime(f, -11644473601));  // before 1601
    platform::CloseFile(f);
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(::GetFileAttributesExW(wide::FilePath(path).c_str(), GetFileExInfoStandard, &data));
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    EXPECT_EQ(ticks, (1041811503ull + 11644473600ull) * 10000000ull);

    // The local clock read back as an instant is now.
    std::int64_t now = 0;
    ASSERT_TRUE(platform::LocalTimeToUtc(platform::LocalClock(), &now));
    EXPECT_NEAR(static_cast<double>(now), static_cast<double>(std::time(nullptr)), 2.0);
    platform::LocalTime bad;
    bad.month = 13;
    EXPECT_FALSE(platform::LocalTimeToUtc(bad, &now));
}

TEST(Win32Files, MakeFolderErrors)
{
    ScratchFolder dir;
    EXPECT_EQ(platform::MakeFolder(dir / "ソ"), 0u);
    EXPECT_EQ(platform::MakeFolder(dir / "ソ"), kErrorAlreadyExists);
    ASSERT_TRUE(WriteWhole(dir / "file", "x"));
    EXPECT_EQ(platform::MakeFolder(dir / "file"), kErrorAlreadyExists);
    EXPECT_EQ(platform::MakeFolder(dir / "missing\\child"), kErrorPathNotFound);
}

TEST(Win32Registry, ValuesAreReadAndLongOnesCut)
{
    const CString key = CString("Software\\VelmoraTest\\") + CString(std::to_string(::GetCurrentProcessId()));
    HKEY h = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, wide::FromSjis(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &h, nullptr),
              ERROR_SUCCESS);
    auto set = [h](const char* name, const CString& value) {
        const std::wstring w = wide::FromSjis(value);
        ::RegSetValueExW(h, wide::FromSjis(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                         static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
    };
    const std::string longValue(300, 'v');
    const CString japanese = "C:\\Program Files\\表計算ソフト";
    const std::string fits(254, 'f');
    set("Long", longValue.c_str());
    set("Path", japanese);
    set("Fits", fits.c_str());
    set("", "default");
    std::string kanji;   // 200 double-byte characters, cut to 127 of them (254 bytes)
    for (int i = 0; i < 200; ++i)
        kanji += CString("能").Str();
    set("Kanji", kanji.c_str());
    const BYTE binary[] = {'b', 'i', 'n'};
    ::RegSetValueExW(h, L"Binary", 0, REG_BINARY, binary, sizeof binary);
    ::RegCloseKey(h);

    struct Case {
        const char* name;
        std::string expected;
    } cases[] = {
        {"Path", japanese.Str()},
        {"", "default"},
        {"Fits", fits},
        {"Long", std::string(254, 'v')},
        {"Kanji", kanji.substr(0, 254)},
        {"Binary", "bin"},
        {"Absent", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CString value;
        EXPECT_EQ(ReadRegistryString(platform::kHkeyCurrentUser, key, c.name, value), 1);
        EXPECT_EQ(value.Str(), c.expected);
    }

    CString untouched = "keep";
    EXPECT_EQ(ReadRegistryString(platform::kHkeyCurrentUser, key + "\\Missing", "Path", untouched), 0);
    EXPECT_EQ(untouched, "keep");

    ::RegDeleteKeyW(HKEY_CURRENT_USER, wide::FromSjis(key).c_str());
}

TEST(Win32System, FoldersAndFacts)
{
    CString appData;
    ASSERT_TRUE(platform::GetAppDataFolder(&appData));
    platform::FileStatus st;
    EXPECT_TRUE(platform::GetFileStatus(appData, &st)) << appData;

    int id = platform::GetPlatformId();
    EXPECT_TRUE(id == 1 || id == 2) << id;

    platform::LocalTime t = platform::LocalClock();
    EXPECT_GE(t.year, 2000);
    EXPECT_TRUE(t.month >= 1 && t.month <= 12);
    EXPECT_TRUE(t.dayOfWeek >= 0 && t.dayOfWeek <= 6);
}

// Shift_JIS <-> UTF-16 by code page 932, whatever the system's code page.
TEST(Win32Text, ShiftJisAndUtf16)
{
    struct Row {
        const char* what;
        std::wstring utf16;
        const char* sjis;     // what ToSjis gives (null: not compared)
        bool lossless;
        bool fromSjis;        // FromSjis(sjis) gives utf16
        const char* utf8 = nullptr;   // what AppendUtf16AsUtf8 gives (null: not compared)
    } rows[] = {
        {"kanji and kana", L"\u53d7\u4fe1\u30c8\u30ec\u30a4", "受信トレイ", true, true},
        {"trail byte 0x5C", L"\u8868\u793a\u30bd\u30d5\u30c8\u80fd\\", "表示ソフト能\\", true, true},
        {"half-width katakana", L"\uff71\uff72\uff9f", "\xB1\xB2\xDF", true, true, "\xEF\xBD\xB1\xEF\xBD\xB2\xEF\xBE\x9F"},
        {"ASCII and path", L"C:\\Mail\\a b.mbx", "C:\\Mail\\a b.mbx", true, true},
        {"NEC row 13", L"\u2460\u3231", "\x87\x40\x87\x8A", true, true},
        {"IBM extension", L"\u7e8a", "\xFA\x5C", true, true},
        {"euro sign", L"a\u20ac\u8868", "a?表", false, false, "a\xE2\x82\xAC\xE8\xA1\xA8"},
        {"no best fit for u-umlaut", L"M\u00fcller", "M?ller", false, false},
        {"wave dash U+301C", L"\u301c", nullptr, false, false},
        {"emoji (surrogate pair)", L"x\xd83d\xde00y", nullptr, false, false, "x\xF0\x9F\x98\x80y"},
        {"lone surrogate", L"x\xd800y", nullptr, false, false, "x\xEF\xBF\xBDy"},
        {"hangul", L"\ud55c", "?", false, false},
        {"empty", L"", "", true, true, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CString out;
        EXPECT_EQ(wide::ToSjis(row.utf16.data(), row.utf16.size(), &out), row.lossless);
        if (row.sjis) {
            EXPECT_EQ(out.Str(), std::string(row.sjis));
        }
        if (row.fromSjis) {
            EXPECT_TRUE(wide::FromSjis(row.sjis) == row.utf16);
        }
        EXPECT_EQ(wide::ToSjis(row.utf16), out);
        if (row.utf8) {
            std::string utf8;
            platform::AppendUtf16AsUtf8(reinterpret_cast<const char16_t*>(row.utf16.data()), row.utf16.size(), utf8);
            EXPECT_EQ(utf8, row.utf8);
        }
    }
    // Two codes of one character: the one Windows writes comes back.
    CString narrowed;
    EXPECT_TRUE(wide::ToSjis(wide::FromSjis("\xEE\xF9").c_str(), 1, &narrowed));
    EXPECT_EQ(narrowed.Str(), "\x81\xCA");
    EXPECT_EQ(wide::FromSjis(static_cast<const char*>(nullptr)), L"");

    const std::uint16_t inbox[] = {0x53D7, 0x4FE1, 0x30C8, 0x30EC, 0x30A4};
    EXPECT_EQ(platform::Utf16ToSjis(inbox, 5), "受信トレイ");
    EXPECT_EQ(platform::Utf16ToSjis(inbox, 0), "");

    // Long paths get the "\\?\" form; short ones stay as they are.
    EXPECT_EQ(wide::FilePath("C:\\a\\表"), L"C:\\a\\\u8868");
    const CString deep = "C:\\" + CString(std::string(300, 'd').c_str());
    EXPECT_EQ(wide::FilePath(deep), L"\\\\?\\" + wide::FromSjis(deep));
    const CString unc = "\\\\server\\share\\" + CString(std::string(300, 'u').c_str());
    EXPECT_EQ(wide::FilePath(unc), L"\\\\?\\UNC\\" + wide::FromSjis(unc).substr(2));
}

TEST(Win32System, StringTable)
{
    EXPECT_EQ(platform::LoadResString(IDS_TRAY_INBOX), STR_TRAY_INBOX);
    EXPECT_EQ(platform::LoadResString(IDS_TRAY_TRASH), "ゴミ箱");
    EXPECT_EQ(platform::LoadResString(IDS_PATH_MAILBOX), "\\Data\\MailBox");
    EXPECT_EQ(platform::LoadResString(IDS_PATH_ADDRESSBOOK), STR_PATH_ADDRESSBOOK);
    EXPECT_EQ(platform::LoadResString(4999), "");
}

// The program's icon holds 16, 32 and 48 pixel bitmaps and a 256 pixel PNG
// image (sharp large icons on Windows Vista and later), which loads; the
// version resource names the maker Orvane and the product Velmora's converter.
TEST(Win32System, IconAndVersionResources)
{
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC group = ::FindResourceW(self, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(14));   // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const auto* dir = static_cast<const BYTE*>(::LockResource(::LoadResource(self, group)));
    ASSERT_NE(dir, nullptr);
    ASSERT_GE(::SizeofResource(self, group), 6u);
    const int count = dir[4] | dir[5] << 8;
    ASSERT_EQ(::SizeofResource(self, group), 6u + 14u * count);   // GRPICONDIRENTRY: 14 bytes
    std::string sizes;
    for (int i = 0; i < count; ++i) {
        const BYTE* entry = dir + 6 + 14 * i;
        const int width = entry[0] ? entry[0] : 256;
        EXPECT_EQ(entry[0], entry[1]);   // square
        sizes += std::to_string(width) + " ";
        if (width != 256)
            continue;
        const WORD id = static_cast<WORD>(entry[12] | entry[13] << 8);
        HRSRC image = ::FindResourceW(self, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));   // RT_ICON
        ASSERT_NE(image, nullptr);
        const auto* bytes = static_cast<const unsigned char*>(::LockResource(::LoadResource(self, image)));
        ASSERT_GE(::SizeofResource(self, image), 8u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 8), "\x89PNG\r\n\x1a\n");
    }
    EXPECT_EQ(sizes, "16 32 48 256 ");
    HICON large = static_cast<HICON>(
        ::LoadImageW(self, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 256, 256, LR_DEFAULTCOLOR));
    ASSERT_NE(large, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(large, &info));
    BITMAP bitmap{};
    EXPECT_NE(::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, 256);
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);   // GetIconInfo's copies are the caller's
    ::DeleteObject(info.hbmMask);
    ::DestroyIcon(large);

    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &handle);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoW(path, 0, size, block.data()));
    auto value = [&](const wchar_t* name) {
        void* text = nullptr;
        UINT length = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\041103a4\\") + name;
        if (!::VerQueryValueW(block.data(), key.c_str(), &text, &length) || !text)
            return CString();
        return wide::ToSjisZ(static_cast<const wchar_t*>(text));
    };
    EXPECT_EQ(value(L"CompanyName"), "Orvane");
    EXPECT_EQ(value(L"LegalCopyright"), "Copyright (C) Orvane");
    EXPECT_EQ(value(L"ProductName"), "Velmoraメールコンバータ");
    EXPECT_EQ(value(L"FileDescription"), "Velmoraメールコンバータ");
    EXPECT_EQ(value(L"ProductVersion"), "1.0.0.0");
}

TEST(Win32System, CharsetsAsTheHostConvertsThem)
{
    // The cases the host tests run, through MultiByteToWideChar and
    // WideCharToMultiByte. A system without code page 54936 (Wine) has no
    // GB18030: its cases must come out as an unknown charset's.
    static const bool gb18030 = ::IsValidCodePage(54936) != FALSE;
    EXPECT_EQ(CharsetCaseFailures([](const CharsetCase& c) {
                  return !gb18030 && CharsetRouteFor(CString(c.charset)) == CharsetRoute::kConvert &&
                         CString(c.charset).CompareNoCase("gb18030") == 0;
              }),
              "");
    EXPECT_EQ(Cp932EncoderFailures(), "");
    EXPECT_EQ(EucJpWindowsCodeFailures(), "");
}

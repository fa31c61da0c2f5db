// Start-up detection, the conversion dispatch and the result message.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/MailConvApp.h"
#include "framework/Ui.h"
#include "store/TrayList.h"
#include "tests/TestSupport.h"

namespace {

const char* const kAppPaths = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
// Where start-up finds the store on the NT family with TempMachine's folders.
const char* const kDetectedStore = "C:\\Users\\u\\AppData\\Roaming\\Orvane\\Velmora";

class FakeUi : public CAppUi {
public:
    int wizardResult = kIdWizFinish;
    int wizardRuns = 0;
    std::vector<CString> shown;      // result dialogs
    std::vector<CString> messages;   // message boxes
    std::function<void()> onWizard;
    int RunWizard() override
    {
        ++wizardRuns;
        if (onWizard)
            onWizard();
        return wizardResult;
    }
    void ShowResult(const CString& message) override { shown.push_back(message); }
    void ShowMessage(const CString& message) override { messages.push_back(message); }
};

}  // namespace

TEST(AppTest, JobStartsEmpty)
{
    CMailConvApp app;
    EXPECT_TRUE(app.m_strAppDataDir.IsEmpty());
    EXPECT_TRUE(app.m_strOutputDir.IsEmpty());
    EXPECT_TRUE(app.m_strStoreDir.IsEmpty());
    EXPECT_TRUE(app.m_strAddressCsvPath.IsEmpty());
    EXPECT_EQ(app.m_arrSelectedTrays.GetSize(), 0);
    EXPECT_FALSE(app.m_bResetOutputDir || app.m_bEudoraInstalled);
    EXPECT_EQ(app.m_nFormat | app.m_nNetscapeKind, 0);
    EXPECT_EQ(app.m_nErrorCode, 0);
    EXPECT_EQ(&GetJob(), &app);
}

TEST(AppTest, StoreFolderFollowsThePlatform)
{
    TempMachine tm;
    tm.machine().appData = "C:\\Documents and Settings\\u\\Application Data";
    tm.machine().SetRegistryValue(CString(kAppPaths) + "velmora.exe", "Path", "C:\\Velmora");
    struct Case {
        int platformId;
        bool shfolder;
        bool registered;
        const char* store;
    } cases[] = {
        {2, true, true, "C:\\Documents and Settings\\u\\Application Data\\Orvane\\Velmora"},
        {2, false, true, "\\Orvane\\Velmora"},   // no shfolder.dll: the current drive
        {1, true, true, "C:\\Velmora"},
        {1, true, false, ""},
        {0, true, true, "C:\\Velmora"},
    };
    for (const Case& c : cases) {
        PosixMachine m = tm.machine();
        m.platformId = c.platformId;
        m.hasShfolder = c.shfolder;
        if (!c.registered)
            m.registry.clear();
        SetPosixMachine(m);
        FakeUi ui;
        ui.wizardResult = kIdCancel;
        CMailConvApp app;
        app.SetUi(&ui);
        EXPECT_EQ(app.InitInstance(), 0);
        EXPECT_EQ(app.m_strStoreDir, c.store) << c.platformId << c.shfolder << c.registered;
        EXPECT_EQ(app.m_strAppDataDir, c.shfolder ? tm.machine().appData : CString());
    }
}

TEST(AppTest, TargetClientsAreDetectedFromTheRegistry)
{
    struct Case {
        bool eudoraKey;
        const char* eudoraCommand;
        bool netscape4, netscape6;
        int eudora, kind;
    } cases[] = {
        {false, "", false, false, 0, 0},
        {true, "", false, false, 0, 0},   // key there, default value empty: not installed
        {true, "C:\\Eudora\\Eudora.exe %1", true, false, 1, 1},
        {false, "", false, true, 0, 2},
        {false, "", true, true, 0, 2},    // both registered: the later probe wins
    };
    for (const Case& c : cases) {
        TempMachine tm;
        if (c.eudoraKey)
            tm.machine().SetRegistryValue("HKLM\\SOFTWARE\\Clients\\Mail\\Eudora\\shell\\open\\command", "",
                                          c.eudoraCommand);
        if (c.netscape4)
            tm.machine().SetRegistryValue(CString(kAppPaths) + "Netscape.exe", "Path", "C:\\NS");
        if (c.netscape6)
            tm.machine().SetRegistryValue(CString(kAppPaths) + "Netscp6.exe", "Path", "C:\\NS6");
        tm.Apply();
        FakeUi ui;
        ui.wizardResult = kIdCancel;
        CMailConvApp app;
        app.SetUi(&ui);
        app.InitInstance();
        EXPECT_EQ(app.m_bEudoraInstalled, c.eudora);
        EXPECT_EQ(app.m_nNetscapeKind, c.kind);
    }
}

TEST(AppTest, CancelConvertsNothingAndShowsNothing)
{
    TempMachine tm;
    tm.MakeDirs(CString(kDetectedStore) + "\\Data\\MailBox");
    FakeUi ui;
    ui.wizardResult = kIdCancel;
    CMailConvApp app;
    app.SetUi(&ui);
    app.m_nFormat = 9;
    app.InitInstance();
    EXPECT_EQ(ui.wizardRuns, 1);
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(app.m_nErrorCode, 0);
}

TEST(AppTest, FinishWithoutFormatIsTheSystemError)
{
    TempMachine tm;
    tm.MakeDirs(CString(kDetectedStore) + "\\Data\\MailBox");
    for (int format : {0, 5, -1}) {
        FakeUi ui;
        CMailConvApp app;
        app.SetUi(&ui);
        app.m_nFormat = format;
        app.m_strAddressCsvPath = "C:\\addr.csv";
        app.InitInstance();
        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_EQ(ui.shown[0], "システムエラーのためメール変換が中断しました。");
        EXPECT_EQ(app.m_nErrorCode, kErrorSystem);
        EXPECT_FALSE(tm.Exists("C:\\addr.csv"));   // no address book after a failure
    }
}

TEST(AppTest, ResultMessages)
{
    CMailConvApp app;
    struct Case {
        int code;
        const char* text;
    } cases[] = {
        {0, "メール変換が中断しました。"},
        {1, "ファイルエラーのためメール変換が中断しました。"},
        {2, "インデックスエラーのためメール変換が中断しました。"},
        {3, "システムエラーのためメール変換が中断しました。"},
        {4, "Netscapeにメールアカウントがありません。"},
        {5, "メール変換が中断しました。"},
        {-7, "メール変換が中断しました。"},
    };
    for (const Case& c : cases) {
        app.m_nErrorCode = c.code;
        EXPECT_EQ(app.ResultMessage(0, 1), c.text) << c.code;
        EXPECT_EQ(app.ResultMessage(1, 0), c.text) << c.code;
        // Success whatever the code holds.
        EXPECT_EQ(app.ResultMessage(1, 1), "メール変換が正常に終了しました。") << c.code;
    }
}

TEST(AppTest, StoreFolderArgument)
{
    struct Case {
        const char* commandLine;
        bool given;
        const char* folder;
    } cases[] = {
        {nullptr, false, "keep"},
        {"", false, "keep"},
        {" \t ", false, "keep"},
        {"\"\"", false, "keep"},
        {"\" \"", false, "keep"},
        {"C:\\Store", true, "C:\\Store"},
        {"\"C:\\Store\"", true, "C:\\Store"},
        {"\"C:\\Copied mail\\Velmora\"", true, "C:\\Copied mail\\Velmora"},   // dropped: quoted
        {"  C:\\Copied mail\\Velmora \t", true, "C:\\Copied mail\\Velmora"},  // typed without quotes
        {"C:\\Store\\", true, "C:\\Store"},
        {"C:\\Store\\\\\\", true, "C:\\Store"},
        {"\"C:\\My Store\\\"", true, "C:\\My Store"},
        {"\"C:\\My Store\\\\\"", true, "C:\\My Store"},   // "\" doubled before the quote
        {"D:\\表\\", true, "D:\\表"},                     // 表 ends in 0x5C
        {"\"D:\\古い表\\\\\"", true, "D:\\古い表"},
        {"D:\\ソ", true, "D:\\ソ"},
        {"C:\\", true, "C:"},
        {"\\", true, ""},                                 // root of the current drive
        {"\"C:\\a b\" \"C:\\c\"", true, "C:\\a b"},       // several dropped: the first
        {"\"C:\\a b", true, "C:\\a b"},                   // no closing quote
    };
    for (const Case& c : cases) {
        CString folder = "keep";
        EXPECT_EQ(ParseStoreArgument(c.commandLine, folder), c.given) << (c.commandLine ? c.commandLine : "null");
        EXPECT_EQ(folder, c.folder) << (c.commandLine ? c.commandLine : "null");
    }
}

namespace {

// Every path below the machine's root, for "nothing was written".
std::vector<std::string> Tree(const TempMachine& tm)
{
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tm.root()))
        paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

// A store with one message in 受信トレイ (no index: rebuilt on conversion),
// the tray 旅行 in its tray list and an address book.
void MakeStore(const TempMachine& tm, const CString& store)
{
    tm.WriteFile(store + "\\Data\\MailBox\\受信トレイ\\Message Storage.mbx", "Subject: copied\r\n\r\nbody\r\n.\r\n");
    tm.MakeDirs(store + "\\Data\\MailBox\\旅行");
    tm.WriteFile(store + "\\Data\\MailTray.dat", "旅行\r\n");
    tm.WriteFile(store + "\\Data\\AddressBook.txt", "山田 太郎\tyamada@example.jp\r\n");
}

}  // namespace

TEST(AppTest, MissingStoreIsSaidAndAGivenStoreIsConverted)
{
    const CString given = "D:\\Copied mail\\古い表";
    struct Case {
        const char* name;
        const char* commandLine;
        bool detectedStore;   // a store where start-up looks
        bool givenStore;      // a store at the given folder
        bool mailBoxIsFile;   // the given folder's "\Data\MailBox" is a file
        const char* storeDir;
        bool wizard;          // else the message naming storeDir + "\Data\MailBox"
        bool lossless = true;            // the command line reached Shift_JIS whole
        const char* unwritable = nullptr;   // else the message naming this folder
        const char* looked = nullptr;       // the missing store's message names this, not storeDir's mail folder
    } cases[] = {
        {"detected store missing", "", false, false, false, kDetectedStore, false},
        {"detected store present", "", true, false, false, kDetectedStore, true},
        {"given store missing", "\"D:\\Copied mail\\古い表\\\"", true, false, false, given, false},
        {"given store present", "\"D:\\Copied mail\\古い表\\\"", false, true, false, given, true},
        {"mail folder is a file", "D:\\Copied mail\\古い表", false, false, true, given, false},
        {"given folder lost characters", "\"D:\\M?ller\\mail\\\"", true, false, false, "", false, false,
         "D:\\M?ller\\mail"},
        {"characters lost after the folder", "\"D:\\Copied mail\\古い表\" ?", false, true, false, given, true, false},
        // The store's Data folder or its Data\MailBox folder opens the store
        // (names in any case, as Windows matches them); nothing else does.
        {"given data folder", "\"D:\\Copied mail\\古い表\\Data\"", true, true, false, given, true},
        {"given mail folder", "D:\\Copied mail\\古い表\\data\\MAILBOX\\", false, true, false, given, true},
        {"given tray folder", "D:\\Copied mail\\古い表\\Data\\MailBox\\旅行", false, true, false,
         "D:\\Copied mail\\古い表\\Data\\MailBox\\旅行", false},
        {"data folder without a store", "D:\\Copied mail\\古い表\\Data", true, false, true,
         "D:\\Copied mail\\古い表\\Data", false},
        {"given file", "D:\\Copied mail\\古い表\\Data\\MailTray.dat", false, true, false,
         "D:\\Copied mail\\古い表\\Data\\MailTray.dat", false, true, nullptr,
         "D:\\Copied mail\\古い表\\Data\\MailTray.dat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempMachine tm;
        if (c.detectedStore)
            MakeStore(tm, kDetectedStore);
        if (c.givenStore)
            MakeStore(tm, given);
        if (c.mailBoxIsFile)
            tm.WriteFile(given + "\\Data\\MailBox", "");
        tm.MakeDirs("C:\\out");
        const std::vector<std::string> before = Tree(tm);

        FakeUi ui;
        CMailConvApp app;
        app.SetUi(&ui);
        app.m_lpCmdLine = c.commandLine;
        app.m_bCmdLineLossless = c.lossless;
        CStringArray trays;
        ui.onWizard = [&] {
            // The tray page reads the trays of the store in use.
            ReadTraySequence(GetJob().m_strStoreDir, trays);
            app.m_arrSelectedTrays.Add("受信トレイ");
            app.m_nFormat = kFormatMbox;
            app.m_strOutputDir = "C:\\out";
            app.m_strAddressCsvPath = "C:\\out\\book.csv";
        };
        EXPECT_EQ(app.InitInstance(), 0);
        EXPECT_EQ(app.m_strStoreDir, c.storeDir);
        EXPECT_EQ(app.m_nNetscapeKind, 0);
        if (c.unwritable) {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0], StoreArgumentWithoutSjisFormMessage(c.unwritable));
            EXPECT_GE(ui.messages[0].Find(c.unwritable), 0);
            EXPECT_EQ(ui.wizardRuns, 0);
            EXPECT_EQ(Tree(tm), before);
            continue;
        }
        if (!c.wizard) {
            const CString mailFolder = c.looked ? CString(c.looked) : CString(c.storeDir) + "\\Data\\MailBox";
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0], MissingStoreMessage(mailFolder));
            EXPECT_GE(ui.messages[0].Find(mailFolder), 0);
            EXPECT_EQ(ui.wizardRuns, 0);
            EXPECT_TRUE(ui.shown.empty());
            EXPECT_EQ(Tree(tm), before);
            continue;
        }
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(ui.wizardRuns, 1);
        ASSERT_EQ(trays.GetSize(), 5);
        EXPECT_EQ(trays[4], "旅行");
        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_EQ(ui.shown[0], kMessageSuccess);
        const std::string mbox = tm.ReadFile("C:\\out\\受信トレイ.mbx");
        EXPECT_EQ(mbox.rfind("From ???@??? ", 0), 0u) << mbox;
        EXPECT_NE(mbox.find("Subject: copied\r\n"), std::string::npos) << mbox;
        EXPECT_EQ(tm.ReadFile("C:\\out\\book.csv"), "山田 太郎,yamada@example.jp\r\n");
    }
}

// Start-up detection, the conversion dispatch and the result message.
#include <gtest/gtest.h>

#include "app/MailConvApp.h"
#include "framework/Ui.h"
#include "tests/TestSupport.h"

namespace {

const char* const kAppPaths = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

class FakeUi : public CAppUi {
public:
    int wizardResult = kIdWizFinish;
    int wizardRuns = 0;
    std::vector<CString> shown;
    int RunWizard() override { ++wizardRuns; return wizardResult; }
    void ShowResult(const CString& message) override { shown.push_back(message); }
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
    EXPECT_EQ(app.m_pIndexList, nullptr);
    EXPECT_EQ(app.m_pMimeMessage, nullptr);
    EXPECT_EQ(app.m_dwIndexInfo1 | app.m_dwIndexInfo2, 0u);
    EXPECT_EQ(app.m_nMessageCount | app.m_nRemovedMessageCount | app.m_nLiveMessageCount, 0);
    EXPECT_EQ(app.m_bResetOutputDir | app.m_nFormat | app.m_nNetscapeKind | app.m_bEudoraInstalled, 0);
    EXPECT_EQ(app.m_nErrorCode, 0);
    EXPECT_EQ(&GetJob(), static_cast<CMailConvJob*>(&app));
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
    FakeUi ui;
    ui.wizardResult = kIdCancel;
    CMailConvApp app;
    app.SetUi(&ui);
    app.m_nFormat = 9;
    app.InitInstance();
    EXPECT_EQ(ui.wizardRuns, 1);
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(app.m_nErrorCode, 0);
}

TEST(AppTest, FinishWithoutFormatIsTheSystemError)
{
    TempMachine tm;
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

TEST(AppTest, ConvertMailReleasesTheIndexList)
{
    CMailConvApp app;
    for (int records : {0, 3}) {
        auto list = std::make_unique<CMailIndexList>();
        for (int i = 0; i < records; ++i)
            list->push_back(std::make_unique<CMailIndexData>());
        app.SetIndexList(std::move(list));
        app.m_nFormat = 0;
        EXPECT_EQ(app.ConvertMail(), 0);
        EXPECT_EQ(app.GetIndexList(), nullptr);
    }
}

// The wizard driven in-process: the real sheet and pages, created modeless,
// with message boxes and the shell dialogs answered by the test.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/MailConvApp.h"
#include "framework/Platform.h"
#include "framework/Ui.h"
#include "framework/win32/WideText.h"
#include "framework/win32/WindowText.h"
#include "res/resource.h"
#include "tests/win32/Win32TestSupport.h"
#include "ui/WizardDialog.h"
#include "ui/WizardRules.h"
#include "ui/WizardShell.h"

namespace {

// Controls without an id (IDC_STATIC) as a dialog template stores them.
constexpr int kStaticId = 0xFFFF;

enum Page { kIntro, kTrays, kFormat, kOutput, kCsv, kSummary };

class FakeShell : public CWizardShell {
public:
    bool BrowseForFolder(HWND, const CString& title, const CString& start, CString& folder) override
    {
        browseTitle = title;
        browseStart = start;
        if (browseAnswer.IsEmpty())
            return false;
        folder = browseAnswer;
        return true;
    }
    bool OpenFileDialog(HWND, const CString& defExt, const CString& initial, const CString& filter,
                        const CString& title, int& filterIndex, CString& path) override
    {
        fileDefExt = defExt;
        fileInitial = initial;
        fileFilter = filter;
        fileTitle = title;
        fileIndexGiven = filterIndex;
        if (fileAnswer.IsEmpty())
            return false;
        path = fileAnswer;
        filterIndex = fileIndexAnswer;
        return true;
    }
    int GetSpecialFolderPath(HWND, int csidl, CString& path) override
    {
        specialId = csidl;
        if (documents.IsEmpty())
            return 0;
        path = documents;
        return 1;
    }

    CString browseTitle, browseStart, browseAnswer;
    CString fileDefExt, fileInitial, fileFilter, fileTitle, fileAnswer;
    int fileIndexGiven = 0, fileIndexAnswer = 1;   // the file type the dialog opened with, and the one chosen
    CString documents = "C:\\My Documents";
    int specialId = -1;
};

struct Box {
    std::string text;
    UINT type;
};

// A scratch folder of this process, as a Windows path without trailing "\".
CString ScratchFolder()
{
    CString folder;
    folder.Format("%svmwiz%lu", TempFolder().GetString(), ::GetCurrentProcessId());
    platform::MakeFolder(folder);
    return folder;
}

void WriteFile(const CString& path, const std::string& bytes)
{
    platform::FileHandle file = platform::OpenFileHandle(path, platform::kOpenWrite | platform::kOpenCreate, nullptr);
    ASSERT_NE(file, platform::kInvalidFile) << path.GetString();
    platform::WriteBytes(file, bytes.data(), static_cast<UINT>(bytes.size()));
    platform::CloseFile(file);
}

void RemoveTree(const CString& folder)
{
    std::wstring from = wide::FromSjis(folder);
    from.push_back(L'\0');
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationW(&op);
}

// The first column of a list view row.
CString ListRowText(HWND list, int row)
{
    wchar_t text[256] = {};
    LVITEMW item = {};
    item.pszText = text;
    item.cchTextMax = 256;
    ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return wide::ToSjisZ(text);
}

// The wide form of a registry key or value name.
std::wstring Wide(const std::string& text)
{
    return wide::FromSjis(text.c_str());
}

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::InitCommonControls();
        SetWizardShell(&shell);
        SetMessageBoxHandler([this](const CString& text, UINT type) {
            boxes.push_back({text.Str(), type});
            int answer = answers.empty() ? kIdOk : answers.front();
            if (!answers.empty())
                answers.pop_front();
            return answer;
        });
        scratch = ScratchFolder();
        app.m_strStoreDir = scratch + "\\store";
    }

    void TearDown() override
    {
        if (sheet)
            sheet->DestroyWindow();
        sheet.reset();
        Pump();
        SetWizardShell(nullptr);
        SetMessageBoxHandler(nullptr);
        RemoveTree(scratch);
    }

    void Open()
    {
        sheet = std::make_unique<CWizardDialog>("", nullptr, 0);
        sheet->SetWizardMode();
        ASSERT_NE(sheet->Create(), nullptr);
        Pump();
    }

    void Pump()
    {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (sheet && sheet->GetSafeHwnd() && PropSheet_IsDialogMessage(sheet->GetSafeHwnd(), &msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }

    // The wizard buttons as PSWIZB_* flags: Back enabled, Next shown and
    // enabled, Finish shown and enabled.
    unsigned Buttons()
    {
        Pump();
        HWND hwnd = sheet->GetSafeHwnd();
        auto on = [hwnd](int id) {
            HWND button = ::GetDlgItem(hwnd, id);
            return button && ::IsWindowEnabled(button) && (::GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE);
        };
        return (on(kIdSheetBack) ? kWizBack : 0) | (on(kIdSheetNext) ? kWizNext : 0) |
               (on(kIdSheetFinish) ? kWizFinish : 0);
    }

    void Press(int button)
    {
        ::SendMessageW(sheet->GetSafeHwnd(), PSM_PRESSBUTTON, button, 0);
        Pump();
    }
    void Next() { Press(PSBTN_NEXT); }
    void Back() { Press(PSBTN_BACK); }
    int PageIndex() { return sheet->GetActiveIndex(); }

    HWND Item(CPropertyPage& page, int id) { return ::GetDlgItem(page.GetSafeHwnd(), id); }
    void SetText(CPropertyPage& page, int id, const char* text)
    {
        WriteWindowText(Item(page, id), text);
        Pump();
    }
    CString Text(CPropertyPage& page, int id) { return page.GetDlgItemText(id); }
    void Click(CPropertyPage& page, int id)
    {
        ::SendMessageW(Item(page, id), BM_CLICK, 0, 0);
        Pump();
    }

    void SelectRow(int row, bool selected)
    {
        LVITEMW item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = selected ? LVIS_SELECTED : 0;
        ::SendMessageW(sheet->m_trayPage.m_ctlTrayList, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                       reinterpret_cast<LPARAM>(&item));
        Pump();
    }

    // From the introduction to the format page with row 0 selected.
    void GoToFormatPage()
    {
        Open();
        Next();
        SelectRow(0, true);
        Next();
        ASSERT_EQ(PageIndex(), kFormat);
    }

    // From the introduction to the output page with format mbox.
    void GoToOutputPage()
    {
        GoToFormatPage();
        Click(sheet->m_formatPage, IDC_FORMAT_MBOX);
        Next();
        ASSERT_EQ(PageIndex(), kOutput);
    }

    void GoToCsvPage()
    {
        GoToOutputPage();
        SetText(sheet->m_outputFolderPage, IDC_OUTPUT_DIR, scratch);
        Next();
        ASSERT_EQ(PageIndex(), kCsv);
    }

    CMailConvApp app;
    FakeShell shell;
    std::vector<Box> boxes;
    std::deque<int> answers;
    std::unique_ptr<CWizardDialog> sheet;
    CString scratch;
};

TEST_F(WizardTest, WalksAllPagesWithTheirButtonStatesAndFinishes)
{
    Open();
    EXPECT_EQ(sheet->GetPageCount(), 6);
    EXPECT_EQ(sheet->GetPage(kCsv), &sheet->m_addressBookPage);
    EXPECT_EQ(sheet->GetPage(kSummary), &sheet->m_summaryPage);
    EXPECT_EQ(PageIndex(), kIntro);
    EXPECT_EQ(Buttons(), kWizNext);
    EXPECT_EQ(WindowText(sheet->GetSafeHwnd()), "Velmoraメールコンバータ");
    EXPECT_NE(::SendMessageW(sheet->GetSafeHwnd(), WM_GETICON, ICON_BIG, 0), 0);

    Next();
    EXPECT_EQ(PageIndex(), kTrays);
    EXPECT_EQ(Buttons(), kWizBack);
    SelectRow(2, true);
    EXPECT_EQ(Buttons(), kWizBack | kWizNext);
    SelectRow(2, false);
    EXPECT_EQ(Buttons(), kWizBack);   // deselecting every row disables Next at once
    SelectRow(0, true);
    Next();

    EXPECT_EQ(PageIndex(), kFormat);
    EXPECT_EQ(Buttons(), kWizBack);   // no format chosen yet
    Click(sheet->m_formatPage, IDC_FORMAT_EML);
    EXPECT_EQ(app.m_nFormat, kFormatEml);
    EXPECT_EQ(Buttons(), kWizBack | kWizNext);
    Next();

    EXPECT_EQ(PageIndex(), kOutput);
    EXPECT_EQ(Text(sheet->m_outputFolderPage, IDC_OUTPUT_DIR), "");
    EXPECT_EQ(Buttons(), kWizBack);
    SetText(sheet->m_outputFolderPage, IDC_OUTPUT_DIR, "C:\\out\\");
    EXPECT_EQ(Buttons(), kWizBack | kWizNext);
    Next();
    EXPECT_EQ(app.m_strOutputDir, "C:\\out");

    EXPECT_EQ(PageIndex(), kCsv);
    EXPECT_EQ(shell.specialId, CSIDL_PERSONAL);
    EXPECT_EQ(Text(sheet->m_addressBookPage, IDC_CSV_PATH), "C:\\My Documents\\VelmoAddr.csv");
    EXPECT_EQ(Buttons(), kWizBack | kWizNext);
    SetText(sheet->m_addressBookPage, IDC_CSV_PATH, "");
    EXPECT_EQ(Buttons(), kWizBack);
    CString csv = scratch + "\\book.csv";
    SetText(sheet->m_addressBookPage, IDC_CSV_PATH, csv);
    EXPECT_EQ(Buttons(), kWizBack | kWizNext);
    Next();
    EXPECT_EQ(app.m_strAddressCsvPath, csv);

    EXPECT_EQ(PageIndex(), kSummary);
    EXPECT_EQ(Buttons(), kWizBack | kWizFinish);
    EXPECT_EQ(Text(sheet->m_summaryPage, IDC_SUMMARY_TRAYS), "受信トレイ\r\n");
    EXPECT_EQ(Text(sheet->m_summaryPage, IDC_SUMMARY_FORMAT), "emlファイル形式");
    EXPECT_EQ(Text(sheet->m_summaryPage, IDC_SUMMARY_OUTPUT), "C:\\out");
    EXPECT_EQ(Text(sheet->m_summaryPage, IDC_SUMMARY_CSV), csv);

    EXPECT_FALSE(sheet->IsDone());
    Press(PSBTN_FINISH);
    EXPECT_TRUE(sheet->IsDone());
    EXPECT_EQ(sheet->GetResult(), kIdWizFinish);
    EXPECT_TRUE(boxes.empty());
}

// Texts of a page's controls without an id, in creation order.
std::vector<std::string> StaticTexts(HWND page)
{
    std::vector<std::string> texts;
    for (HWND child = ::GetWindow(page, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::GetDlgCtrlID(child) == kStaticId || ::GetDlgCtrlID(child) == -1)
            texts.push_back(WindowText(child).Str());
    }
    return texts;
}

bool HasText(const std::vector<std::string>& texts, const std::string& text)
{
    for (const std::string& t : texts)
        if (t == text)
            return true;
    return false;
}

TEST_F(WizardTest, PagesShowTheirTextsWithTheirExactSpacesAndLineBreaks)
{
    GoToCsvPage();
    auto intro = StaticTexts(sheet->m_introPage.GetSafeHwnd());
    EXPECT_TRUE(HasText(intro, "コンバートは以下の手順で行います。\n　　１、変換元になるVelmoraのメールトレイの選択\n"
                               "　　２、変換先のフォーマットの選択\n　　３、変換したメールの保存先の設定（Outlook Express等）\n"
                               "　　４、変換したアドレスブックの保存先の設定\n　　５、変換実行"));
    auto format = StaticTexts(sheet->m_formatPage.GetSafeHwnd());
    EXPECT_TRUE(HasText(format, "※Eudoraに直接メールを変換します。\n　添付ファイルとhtmlメールは移行できません。"));
    EXPECT_TRUE(HasText(format, "変換フォーマット"));
    auto csv = StaticTexts(sheet->m_addressBookPage.GetSafeHwnd());
    EXPECT_TRUE(HasText(csv, "VelmoraのアドレスブックをCSVファイルに変換します。\r"
                             "変換したアドレスブックの保存ファイルを入力してください。"));
    EXPECT_EQ(Text(sheet->m_outputFolderPage, IDC_OUTPUT_BROWSE), "参照(&B)");
    EXPECT_EQ(Text(sheet->m_formatPage, IDC_FORMAT_MBOX), "UNIX mbox ファイル形式(&U)");
}

TEST_F(WizardTest, CancelEndsWithTheCancelResult)
{
    Open();
    Next();
    Press(PSBTN_CANCEL);
    EXPECT_TRUE(sheet->IsDone());
    EXPECT_EQ(sheet->GetResult(), IDCANCEL);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(WizardTest, TrayListShowsFixedTraysThenTheStoreListAndSelectsInRowOrder)
{
    platform::MakeFolder(scratch + "\\store");
    platform::MakeFolder(scratch + "\\store\\Data");
    WriteFile(scratch + "\\store\\Data\\MailTray.dat", "Work\r\n\r\nFriends\r\n");
    Open();
    Next();
    HWND list = sheet->m_trayPage.m_ctlTrayList;
    ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 6);
    const char* expected[] = {"受信トレイ", "送信トレイ", "未送信トレイ", "ドラフト", "Work", "Friends"};
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(ListRowText(list, row), expected[row]) << "row " << row;
    wchar_t heading[64] = {};
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = heading;
    column.cchTextMax = 64;
    ::SendMessageW(list, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    EXPECT_EQ(wide::ToSjisZ(heading), "メールトレイ");
    EXPECT_EQ(column.cx, 320);
    EXPECT_TRUE(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);

    // Clicked 5 first, then 1: the job holds them in row order.
    SelectRow(5, true);
    SelectRow(1, true);
    Next();
    ASSERT_EQ(app.m_arrSelectedTrays.GetSize(), 2);
    EXPECT_EQ(app.m_arrSelectedTrays[0], "送信トレイ");
    EXPECT_EQ(app.m_arrSelectedTrays[1], "Friends");

    // Back empties the array; the next Next refills it from the selection.
    Back();
    EXPECT_EQ(app.m_arrSelectedTrays.GetSize(), 0);
    EXPECT_EQ(Buttons(), kWizBack | kWizNext);
    SelectRow(5, false);
    Next();
    ASSERT_EQ(app.m_arrSelectedTrays.GetSize(), 1);
    EXPECT_EQ(app.m_arrSelectedTrays[0], "送信トレイ");
}

TEST_F(WizardTest, WithoutEudoraOrNetscapeOnlyTwoFormatsCanBeChosen)
{
    GoToFormatPage();
    CFormatPage& page = sheet->m_formatPage;
    EXPECT_TRUE(::IsWindowEnabled(Item(page, IDC_FORMAT_MBOX)));
    EXPECT_TRUE(::IsWindowEnabled(Item(page, IDC_FORMAT_EML)));
    EXPECT_FALSE(::IsWindowEnabled(Item(page, IDC_FORMAT_EUDORA)));
    EXPECT_FALSE(::IsWindowEnabled(Item(page, IDC_FORMAT_NETSCAPE)));
    for (int id : {IDC_FORMAT_MBOX, IDC_FORMAT_EML, IDC_FORMAT_EUDORA, IDC_FORMAT_NETSCAPE})
        EXPECT_FALSE(page.IsDlgButtonChecked(id));
}

TEST_F(WizardTest, FormatRadiosSetTheFormatAndTheFolderResetFlag)
{
    app.m_bEudoraInstalled = 1;
    app.m_nNetscapeKind = 1;
    GoToFormatPage();
    CFormatPage& page = sheet->m_formatPage;
    EXPECT_TRUE(::IsWindowEnabled(Item(page, IDC_FORMAT_EUDORA)));
    EXPECT_TRUE(::IsWindowEnabled(Item(page, IDC_FORMAT_NETSCAPE)));

    Click(page, IDC_FORMAT_EUDORA);
    Click(page, IDC_FORMAT_NETSCAPE);
    app.m_bResetOutputDir = 0;
    Click(page, IDC_FORMAT_EUDORA);
    EXPECT_EQ(app.m_nFormat, kFormatEudora);
    EXPECT_EQ(app.m_bResetOutputDir, 1);

    // mbox clicked again while chosen: the flag is left as it was.
    Click(page, IDC_FORMAT_MBOX);
    EXPECT_EQ(app.m_nFormat, kFormatMbox);
    app.m_bResetOutputDir = 0;
    Click(page, IDC_FORMAT_MBOX);
    EXPECT_EQ(app.m_bResetOutputDir, 0);

    // eml clicked again while chosen: the flag is set.
    Click(page, IDC_FORMAT_EML);
    app.m_bResetOutputDir = 0;
    Click(page, IDC_FORMAT_EML);
    EXPECT_EQ(app.m_nFormat, kFormatEml);
    EXPECT_EQ(app.m_bResetOutputDir, 1);
    EXPECT_EQ(Buttons(), kWizBack | kWizNext);
}

TEST_F(WizardTest, OutputFolderIsKeptOnBackAndForwardAndReplacedAfterAFormatChange)
{
    GoToOutputPage();
    COutputFolderPage& page = sheet->m_outputFolderPage;
    SetText(page, IDC_OUTPUT_DIR, "D:\\keep");
    Back();
    EXPECT_EQ(PageIndex(), kFormat);
    Next();
    EXPECT_EQ(Text(page, IDC_OUTPUT_DIR), "D:\\keep");
    EXPECT_EQ(Buttons(), kWizBack | kWizNext);

    Back();
    Click(sheet->m_formatPage, IDC_FORMAT_EML);
    Next();
    EXPECT_EQ(Text(page, IDC_OUTPUT_DIR), "");
    EXPECT_EQ(Buttons(), kWizBack);
    EXPECT_EQ(app.m_bResetOutputDir, 0);
}

TEST_F(WizardTest, OutputFolderLosesTrailingSeparatorsAndRefusesAFile)
{
    GoToOutputPage();
    COutputFolderPage& page = sheet->m_outputFolderPage;
    struct Case {
        const char* text;
        const char* stored;
    } cases[] = {
        {"C:\\Mail\\\\", "C:\\Mail"},
        {"C:\\", "C:"},
        {"D:\\表", "D:\\表"},                        // last byte 0x5C is a trail byte
        {"C:\\not\\there\\yet", "C:\\not\\there\\yet"},
    };
    for (const Case& c : cases) {
        SetText(page, IDC_OUTPUT_DIR, c.text);
        Next();
        EXPECT_EQ(PageIndex(), kCsv) << c.text;
        EXPECT_EQ(app.m_strOutputDir, c.stored) << c.text;
        Back();
    }
    EXPECT_TRUE(boxes.empty());

    CString file = scratch + "\\a-file";
    WriteFile(file, "x");
    app.m_strOutputDir = "before";
    SetText(page, IDC_OUTPUT_DIR, file + "\\");
    Next();
    EXPECT_EQ(PageIndex(), kOutput);
    EXPECT_EQ(app.m_strOutputDir, "before");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "設定したフォルダはファイルです。");
    EXPECT_EQ(boxes[0].type, kMbOk);
}

TEST_F(WizardTest, BrowseStartsAtTheEnteredFolderAndTakesThePick)
{
    GoToOutputPage();
    COutputFolderPage& page = sheet->m_outputFolderPage;
    SetText(page, IDC_OUTPUT_DIR, "C:\\start");
    shell.browseAnswer = "C:\\picked";
    Click(page, IDC_OUTPUT_BROWSE);
    EXPECT_EQ(shell.browseTitle, "エスポート先のフォルダを選択してください。");
    EXPECT_EQ(shell.browseStart, "C:\\start");
    EXPECT_EQ(Text(page, IDC_OUTPUT_DIR), "C:\\picked");

    // Cancel in the browser leaves the text.
    SetText(page, IDC_OUTPUT_DIR, "");
    shell.browseAnswer.Empty();
    Click(page, IDC_OUTPUT_BROWSE);
    EXPECT_EQ(Text(page, IDC_OUTPUT_DIR), "");
    EXPECT_EQ(Buttons(), kWizBack);
    shell.browseAnswer = "D:\\x";
    Click(page, IDC_OUTPUT_BROWSE);
    EXPECT_EQ(Buttons(), kWizBack | kWizNext);
}

TEST_F(WizardTest, CsvPageRefusesAFolderAndAsksBeforeOverwriting)
{
    GoToCsvPage();
    CAddressBookPage& page = sheet->m_addressBookPage;

    SetText(page, IDC_CSV_PATH, scratch + "\\");
    Next();
    EXPECT_EQ(PageIndex(), kCsv);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "設定したファイルはフォルダです。");
    EXPECT_EQ(boxes[0].type, kMbOk);

    CString existing = scratch + "\\old.csv";
    WriteFile(existing, "old");
    app.m_strAddressCsvPath = "before";
    SetText(page, IDC_CSV_PATH, existing);
    answers = {kIdNo};
    Next();
    EXPECT_EQ(PageIndex(), kCsv);
    EXPECT_EQ(app.m_strAddressCsvPath, "before");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "同名のファイルが存在します。上書きしますか？");
    EXPECT_EQ(boxes[1].type, kMbYesNo | kMbDefButton2);

    answers = {kIdYes};
    Next();
    EXPECT_EQ(PageIndex(), kSummary);
    EXPECT_EQ(app.m_strAddressCsvPath, existing);

    // A name in a folder that does not exist is accepted; trailing "\" goes.
    Back();
    SetText(page, IDC_CSV_PATH, "C:\\out\\");
    Next();
    EXPECT_EQ(PageIndex(), kSummary);
    EXPECT_EQ(app.m_strAddressCsvPath, "C:\\out");
    EXPECT_EQ(boxes.size(), 3u);
}

TEST_F(WizardTest, CsvBrowseStartsFromTheProposedNameAndTakesTheChoice)
{
    GoToCsvPage();
    CAddressBookPage& page = sheet->m_addressBookPage;
    SetText(page, IDC_CSV_PATH, "C:\\typed.csv");
    shell.fileAnswer = "D:\\アドレス\\book.csv";
    Click(page, IDC_CSV_BROWSE);
    EXPECT_EQ(shell.fileInitial, "C:\\My Documents\\VelmoAddr.csv");
    EXPECT_EQ(shell.fileDefExt, "csv");
    EXPECT_EQ(shell.fileFilter, "csvファイル|*.csv|vCard (*.vcf)|*.vcf|全てのファイル|*.*||");
    EXPECT_EQ(shell.fileIndexGiven, 1);   // the CSV type first
    EXPECT_EQ(shell.fileTitle, "アドレスブック出力CSVファイル");
    EXPECT_EQ(Text(page, IDC_CSV_PATH), "D:\\アドレス\\book.csv");
    EXPECT_EQ(page.m_strFileName, "D:\\アドレス\\book.csv");

    // Cancel keeps both.
    shell.fileAnswer.Empty();
    Click(page, IDC_CSV_BROWSE);
    EXPECT_EQ(shell.fileInitial, "D:\\アドレス\\book.csv");
    EXPECT_EQ(Text(page, IDC_CSV_PATH), "D:\\アドレス\\book.csv");

    // The file type chosen, or a ".vcf" name, makes the job write vCard; a
    // name typed over the dialog's answer has its own say.
    const CString scratch = ScratchFolder();
    struct Case {
        const char* answer;   // the dialog's path (in the scratch folder), "" for none
        int type;             // the type chosen in the dialog
        const char* typed;    // typed over it afterwards, "" for nothing
        bool vcard;
    } cases[] = {
        {"\\a.csv", 1, "", false},
        {"\\a.vcf", 2, "", true},
        {"\\a", 2, "", true},
        {"\\a.txt", 2, "", true},
        {"\\a.csv", 2, "\\b.csv", false},
        {"", 1, "\\c.VCF", true},
        {"\\a.txt", 1, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.answer) + " " + c.typed);
        shell.fileAnswer = *c.answer ? scratch + c.answer : CString();
        shell.fileIndexAnswer = c.type;
        Click(page, IDC_CSV_BROWSE);
        if (*c.typed)
            SetText(page, IDC_CSV_PATH, scratch + c.typed);
        Next();
        ASSERT_EQ(PageIndex(), kSummary);
        EXPECT_EQ(app.m_bAddressVCard, c.vcard);
        EXPECT_EQ(app.m_strAddressCsvPath, scratch + (*c.typed ? c.typed : c.answer));
        Back();
        // The dialog opens next with the type chosen last.
        shell.fileAnswer.Empty();
        Click(page, IDC_CSV_BROWSE);
        EXPECT_EQ(shell.fileIndexGiven, *c.answer ? c.type : shell.fileIndexGiven);
    }
}

TEST_F(WizardTest, CsvNameWithoutDocumentsFolderIsAtTheRoot)
{
    shell.documents.Empty();
    GoToCsvPage();
    EXPECT_EQ(Text(sheet->m_addressBookPage, IDC_CSV_PATH), "\\VelmoAddr.csv");
    EXPECT_EQ(sheet->m_addressBookPage.m_strDefaultFolder, "");
}

TEST_F(WizardTest, SummaryFollowsChangesMadeAfterGoingBack)
{
    platform::MakeFolder(scratch + "\\store");
    platform::MakeFolder(scratch + "\\store\\Data");
    WriteFile(scratch + "\\store\\Data\\MailTray.dat", "Work\r\n");
    Open();
    Next();
    SelectRow(0, true);
    SelectRow(4, true);
    Next();
    Click(sheet->m_formatPage, IDC_FORMAT_MBOX);
    Next();
    SetText(sheet->m_outputFolderPage, IDC_OUTPUT_DIR, "C:\\first");
    Next();
    Next();
    ASSERT_EQ(PageIndex(), kSummary);
    EXPECT_EQ(Text(sheet->m_summaryPage, IDC_SUMMARY_TRAYS), "受信トレイ\r\nWork\r\n");
    EXPECT_EQ(Text(sheet->m_summaryPage, IDC_SUMMARY_FORMAT), "UNIX mboxファイル形式");
    EXPECT_EQ(Text(sheet->m_summaryPage, IDC_SUMMARY_OUTPUT), "C:\\first");

    Back();
    Back();
    Back();
    Click(sheet->m_formatPage, IDC_FORMAT_EML);
    Next();
    SetText(sheet->m_outputFolderPage, IDC_OUTPUT_DIR, "C:\\second");
    Next();
    Next();
    ASSERT_EQ(PageIndex(), kSummary);
    EXPECT_EQ(Text(sheet->m_summaryPage, IDC_SUMMARY_FORMAT), "emlファイル形式");
    EXPECT_EQ(Text(sheet->m_summaryPage, IDC_SUMMARY_OUTPUT), "C:\\second");
}

// The default folders come from the registry and Netscape's files. Kept in
// one test: the registry is shared by every test process of the prefix.
TEST_F(WizardTest, OutputPageProposesEudoraAndNetscapeMailFolders)
{
    const char* eudoraKey = "SOFTWARE\\Classes\\Software\\Qualcomm\\Eudora\\CommandLine\\current";
    const char* biffKey = "Software\\Netscape\\Netscape Navigator\\biff";
    auto setValue = [](HKEY root, const std::string& key, const char* name, const char* value) {
        HKEY handle = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(root, Wide(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
        const std::wstring text = Wide(value);
        ::RegSetValueExW(handle, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(handle);
    };
    setValue(HKEY_LOCAL_MACHINE, eudoraKey, "",
             "\"C:\\Program Files\\Eudora\\Eudora.exe\" \"C:\\Mail\\Eudora\\sub\"");
    setValue(HKEY_CURRENT_USER, biffKey, "CurrentUser", "u");
    setValue(HKEY_CURRENT_USER, std::string(biffKey) + "\\users\\u", "defaultServer", "pop.example");
    setValue(HKEY_CURRENT_USER, std::string(biffKey) + "\\users\\u\\servers\\pop.example", "popstatePath",
             "C:\\Program Files\\Netscape\\Users\\u\\mail\\popstate.dat");

    app.m_bEudoraInstalled = 1;
    app.m_nNetscapeKind = 1;
    GoToFormatPage();
    Click(sheet->m_formatPage, IDC_FORMAT_EUDORA);
    Next();
    EXPECT_EQ(Text(sheet->m_outputFolderPage, IDC_OUTPUT_DIR), "C:\\Mail\\Eudora");
    EXPECT_EQ(Buttons(), kWizBack | kWizNext);
    Back();
    Click(sheet->m_formatPage, IDC_FORMAT_NETSCAPE);
    Next();
    EXPECT_EQ(Text(sheet->m_outputFolderPage, IDC_OUTPUT_DIR), "C:\\Program Files\\Netscape\\Users\\u\\mail");

    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Software\\Qualcomm");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Netscape");

    // Netscape 6: the profile's prefs.js names the folder.
    CString profile = scratch + "\\profile";
    platform::MakeFolder(profile);
    platform::MakeFolder(scratch + "\\Mozilla");
    std::string registry = std::string("xx\0directory\0", 13) + profile.Str() + std::string("\0", 1);
    WriteFile(scratch + "\\Mozilla\\registry.dat", registry);
    WriteFile(profile + "\\prefs.js", "user_pref(\"mail.server.server1.directory\", \"C:\\\\Mail\\\\acct\");\r\n");
    app.m_strAppDataDir = scratch;
    app.m_nNetscapeKind = 2;
    Back();
    Click(sheet->m_formatPage, IDC_FORMAT_NETSCAPE);
    Next();
    EXPECT_EQ(Text(sheet->m_outputFolderPage, IDC_OUTPUT_DIR), "C:\\Mail\\acct");

    // No account: the lookup leaves error code 4 and an empty folder.
    WriteFile(profile + "\\prefs.js", "user_pref(\"mail.server.server1.name\", \"u\");\r\n");
    Back();
    Click(sheet->m_formatPage, IDC_FORMAT_NETSCAPE);
    Next();
    EXPECT_EQ(Text(sheet->m_outputFolderPage, IDC_OUTPUT_DIR), "");
    EXPECT_EQ(app.m_nErrorCode, kErrorNoNetscapeAccount);
    EXPECT_EQ(Buttons(), kWizBack);
}

}  // namespace

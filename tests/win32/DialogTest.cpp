// CDialog, the result dialog, the progress window and the program's message
// box, driven in-process.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/win32/AppUi.h"
#include "app/win32/ProgressDialog.h"
#include "app/win32/ResultDialog.h"
#include "framework/File.h"
#include "framework/Platform.h"
#include "framework/Ui.h"
#include "framework/win32/Dialog.h"
#include "framework/win32/PropertySheet.h"
#include "framework/win32/WideText.h"
#include "framework/win32/WindowText.h"
#include "res/resource.h"
#include "store/MailIndexLoader.h"
#include "tests/win32/Win32TestSupport.h"
#include "writers/Progress.h"

namespace {

// The control that holds a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

struct Range {
    int low, high;
};

Range BarRange(HWND bar)
{
    PBRANGE r{};
    ::SendMessageW(bar, PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&r));
    return {r.iLow, r.iHigh};
}

// Counts the positions a progress bar is sent while it lives.
class PositionCounter {
public:
    explicit PositionCounter(HWND bar) : m_bar(bar)
    {
        s_count = 0;
        m_old = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PositionCounter::Proc)));
        s_old = m_old;
    }
    ~PositionCounter() { ::SetWindowLongPtrW(m_bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_old)); }
    int Count() const { return s_count; }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == PBM_SETPOS)
            ++s_count;
        return ::CallWindowProcW(s_old, hWnd, message, wParam, lParam);
    }
    static inline int s_count = 0;
    static inline WNDPROC s_old = nullptr;
    HWND m_bar;
    WNDPROC m_old;
};

// A command id no control of the templates has.
constexpr int kStrayCommand = 1234;

// A dialog whose initialisation (when initThrows) or any command throws.
class ThrowingDialog : public CDialog {
public:
    explicit ThrowingDialog(bool initThrows) : CDialog(IDD_RESULT), m_bInitThrows(initThrows) {}
    int commands = 0;

protected:
    BOOL OnInitDialog() override
    {
        if (m_bInitThrows)
            throw std::runtime_error("init");
        return TRUE;
    }
    bool OnCommand(int, int, HWND) override
    {
        ++commands;
        throw std::runtime_error("command");
    }

private:
    bool m_bInitThrows;
};

class ThrowingPage : public CPropertyPage {
public:
    ThrowingPage() : CPropertyPage(IDD_INTRO_PAGE) {}
    BOOL OnSetActive() override { throw std::runtime_error("page"); }
};

class ThrowingSheet : public CPropertySheet {
public:
    ThrowingSheet() : CPropertySheet("") {}
    BOOL OnInitDialog() override { throw std::runtime_error("sheet"); }
};

// What run threw: its message, or "" when nothing was thrown.
std::string Thrown(const std::function<void()>& run)
{
    try {
        run();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

// The visible top-level windows of this thread.
int VisibleWindows()
{
    int count = 0;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hWnd, LPARAM counter) -> BOOL {
            if (::IsWindowVisible(hWnd))
                ++*reinterpret_cast<int*>(counter);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// An application whose run makes the progress window and then fails (with a
// std::exception, or with something else).
class FailingApp : public CMailConvApp {
public:
    explicit FailingApp(bool standard) : m_bStandard(standard) {}
    HWND progress = nullptr;

    BOOL InitInstance() override
    {
        std::unique_ptr<CProgressSink> window = CWin32AppUi([] { return 0; }).CreateProgress();   // the real one
        progress = static_cast<CProgressDialog*>(window.get())->GetSafeHwnd();
        if (m_bStandard)
            throw std::runtime_error("conversion");
        throw 42;
    }

private:
    bool m_bStandard;
};

// Records the result message and whether the progress window was still there.
class ResultRecorder : public CAppUi {
public:
    explicit ResultRecorder(const FailingApp& app) : m_app(app) {}
    int RunWizard() override { return kIdWizFinish; }
    void ShowResult(const CString& message) override
    {
        results.push_back(message.Str());
        progressUp = progressUp || ::IsWindow(m_app.progress);
    }
    void ShowMessage(const CString&) override {}

    std::vector<std::string> results;
    bool progressUp = false;

private:
    const FailingApp& m_app;
};

// Sends a stray command to the thread's active window once the modal loop runs.
void CALLBACK PostStrayCommand(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    if (HWND active = ::GetActiveWindow())
        ::PostMessageW(active, WM_COMMAND, MAKEWPARAM(kStrayCommand, BN_CLICKED), 0);
}

// Presses OK in the thread's active dialog as soon as the modal loop runs.
void CALLBACK PressOk(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    if (HWND active = ::GetActiveWindow())
        ::PostMessageW(active, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// What AnswerMessageBox saw of the active window before it pressed OK.
struct SeenBox {
    CString caption, text;
    bool wizard = false;
    int width = 0;       // of the box
    int workWidth = 0;   // of the work area of its monitor
} g_seenBox;

void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    HWND box = ::GetActiveWindow();
    if (!box)
        return;
    g_seenBox.caption = WindowText(box);
    g_seenBox.text = WindowText(::GetDlgItem(box, kMessageBoxTextId));
    g_seenBox.wizard = ::GetDlgItem(box, kIdSheetNext) != nullptr;
    RECT rect{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (::GetWindowRect(box, &rect) &&
        ::GetMonitorInfoW(::MonitorFromWindow(box, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        g_seenBox.width = rect.right - rect.left;
        g_seenBox.workWidth = monitor.rcWork.right - monitor.rcWork.left;
    }
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// The text without line breaks.
CString Unbroken(const CString& text)
{
    CString out;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (text[i] != '\n')
            out += text[i];
    }
    return out;
}

int g_wizardRuns = 0;

}  // namespace

// The store's folder, its Data or its Data\MailBox folder given (in any case)
// opens the store: the wizard runs. A folder without a store, a long path
// included, or a file is named in a message box no wider than the work area,
// and nothing is written.
TEST(Win32App, FolderWithoutStoreIsSaidInAMessageBoxAndNothingIsWritten)
{
    CString folder;
    folder.Format("%svelmora-表-%lu", TempFolder().GetString(), ::GetCurrentProcessId());
    CString longPath = folder;
    for (int i = 0; i < 12; ++i)
        longPath += "\\一時フォルダ表ソ能-folder";
    const CString store = folder + "\\store";
    const CString file = store + "\\Data\\MailTray.dat";
    ASSERT_EQ(platform::MakeFolder(folder), 0u);
    for (const CString& made : {store, store + "\\Data", store + "\\Data\\MailBox"})
        ASSERT_EQ(platform::MakeFolder(made), 0u);
    {
        CFile tray;
        ASSERT_TRUE(tray.Open(file, CFile::modeCreate | CFile::modeWrite));
    }
    struct Case {
        const char* name;
        CString commandLine;
        CString storeDir;   // m_strStoreDir afterwards
        CString looked;     // the message names this; empty: the wizard runs
    } cases[] = {
        // A trailing "\" after a name whose trail byte is 0x5C.
        {"no store", "\"" + folder + "\\\"", folder, folder + "\\Data\\MailBox"},
        {"no store at a long path", longPath, longPath, longPath + "\\Data\\MailBox"},
        {"a file", "\"" + file + "\"", file, file},
        {"the store", "\"" + store + "\"", store, ""},
        {"its data folder", "\"" + store + "\\data\\\"", store, ""},
        {"its mail folder", "\"" + store + "\\DATA\\mailbox\"", store, ""},
    };
    SetMessageBoxHandler(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWin32AppUi ui([] {
            ++g_wizardRuns;
            return 0;   // Cancel
        });
        CMailConvApp app;
        app.SetUi(&ui);
        app.m_lpCmdLine = c.commandLine;
        g_seenBox = SeenBox();
        g_wizardRuns = 0;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, AnswerMessageBox);
        EXPECT_EQ(app.InitInstance(), 0);
        ::KillTimer(nullptr, timer);   // when no box came; else it is gone already
        EXPECT_EQ(app.m_strStoreDir, c.storeDir);
        if (c.looked.IsEmpty()) {
            EXPECT_EQ(g_wizardRuns, 1);
            EXPECT_EQ(g_seenBox.caption, "");
            continue;
        }
        EXPECT_EQ(g_wizardRuns, 0);
        EXPECT_EQ(g_seenBox.caption, "Velmoraメールコンバータ");
        EXPECT_EQ(g_seenBox.text, MissingStoreMessage(c.looked));
        EXPECT_FALSE(g_seenBox.wizard);
        EXPECT_GT(g_seenBox.width, 0);
        EXPECT_LE(g_seenBox.width, g_seenBox.workWidth);
    }
    CStringArray names;
    EXPECT_TRUE(ListFolder(folder, &names));
    EXPECT_EQ(names.GetSize(), 1);
    EXPECT_TRUE(ListFolder(store + "\\Data\\MailBox", &names));
    EXPECT_EQ(names.GetSize(), 0);
    ::DeleteFileW(wide::FilePath(file).c_str());
    for (const CString& made : {store + "\\Data\\MailBox", store + "\\Data", store, folder})
        ::RemoveDirectoryW(wide::FilePath(made).c_str());
}

// A message box is never wider than the work area of its screen, however
// long the text's unbroken runs; only line breaks are added.
TEST(Win32Ui, MessageBoxesFitTheWorkArea)
{
    CString path = "C:\\";
    for (int i = 0; i < 40; ++i)
        path += "folder\\";
    const CString cases[] = {
        "設定したフォルダはファイルです。",
        CString(std::string(600, 'x').c_str()),
        path,
        CString(std::string(400, 'x').c_str()) + " " + CString(std::string(400, 'y').c_str()),
        [] {
            CString run;
            for (int i = 0; i < 150; ++i)
                run += "表ソ";   // trail bytes 0x5C
            return run;
        }(),
    };
    SetMessageBoxHandler(nullptr);
    for (const CString& text : cases) {
        SCOPED_TRACE(text.Left(20).GetString());
        g_seenBox = SeenBox();
        ::SetTimer(nullptr, 0, 10, AnswerMessageBox);
        EXPECT_EQ(AfxMessageBox(text, kMbOk | kMbIconExclamation), kIdOk);
        EXPECT_EQ(Unbroken(g_seenBox.text), Unbroken(text));
        EXPECT_GT(g_seenBox.width, 0);
        EXPECT_LE(g_seenBox.width, g_seenBox.workWidth);
        if (text.GetLength() < 40) {
            EXPECT_EQ(g_seenBox.text, text);   // a short text as it is
        }
    }
}

// A run that ends with an exception exits with 1 and says so with the result
// message of a system error, the progress window gone.
TEST(Win32App, AFailureEndsTheRunWithTheSystemErrorMessage)
{
    ui::InitCommonControls();
    for (bool standard : {true, false}) {
        SCOPED_TRACE(standard ? "std::exception" : "another exception");
        FailingApp app(standard);
        ResultRecorder recorder(app);
        app.SetUi(&recorder);
        EXPECT_EQ(::WinMain(::GetModuleHandleW(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL), 1);
        EXPECT_EQ(recorder.results, std::vector<std::string>{ErrorMessageFor(kErrorSystem).Str()});
        EXPECT_NE(app.progress, nullptr);
        EXPECT_FALSE(recorder.progressUp);
    }
}

TEST(Win32Dialog, ResultDialogShowsItsMessage)
{
    ui::InitCommonControls();
    CResultDialog dialog;
    dialog.m_strMessage = "システムエラーのためメール変換が中断しました。";
    ASSERT_TRUE(dialog.Create(CResultDialog::IDD));
    HWND hWnd = dialog.GetSafeHwnd();
    ASSERT_TRUE(hWnd);
    EXPECT_EQ(dialog.GetDlgItemText(IDC_RESULT_TEXT), dialog.m_strMessage);
    EXPECT_EQ(WindowText(hWnd), "Velmoraメールコンバータ");
    EXPECT_EQ(::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_SYSMENU, 0);
    EXPECT_EQ(::GetWindowLongPtrW(::GetDlgItem(hWnd, IDOK), GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);

    // OK on a modeless dialog destroys it and unbinds the object.
    ::SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(Win32Dialog, ModalDialogEndsWithTheButtonPressed)
{
    CResultDialog dialog;
    dialog.m_strMessage = "メール変換が正常に終了しました。";
    ::SetTimer(nullptr, 0, 10, PressOk);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(Win32Dialog, DestroyingTheObjectDestroysTheWindow)
{
    HWND hWnd = nullptr;
    {
        CResultDialog dialog;
        ASSERT_TRUE(dialog.Create(CResultDialog::IDD));
        hWnd = dialog.GetSafeHwnd();
        EXPECT_EQ(CDialog::FromHandle(hWnd), &dialog);
    }
    EXPECT_FALSE(::IsWindow(hWnd));
}

// Nothing thrown crosses into Windows' code: it ends the dialog or sheet and
// comes out of the call that made it.
TEST(Win32Dialog, WhatAHandlerThrowsEndsTheWindowAndIsRethrown)
{
    ui::InitCommonControls();
    struct Row {
        const char* what;
        std::function<void()> run;
        const char* thrown;
    } rows[] = {
        {"modal dialog, initialisation", [] {
             ThrowingDialog dialog(true);
             dialog.DoModal();
         }, "init"},
        {"modal dialog, a command", [] {
             ThrowingDialog dialog(false);
             ::SetTimer(nullptr, 0, 10, PostStrayCommand);
             dialog.DoModal();
         }, "command"},
        {"modeless dialog, initialisation", [] {
             ThrowingDialog dialog(true);
             dialog.Create();
         }, "init"},
        {"wizard, a page's activation", [] {
             ThrowingPage page;
             CPropertySheet sheet("");
             sheet.SetWizardMode();
             sheet.AddPage(&page);
             sheet.DoModal();
         }, "page"},
        {"wizard, the sheet's initialisation", [] {
             CPropertyPage page(IDD_INTRO_PAGE);
             ThrowingSheet sheet;
             sheet.SetWizardMode();
             sheet.AddPage(&page);
             sheet.DoModal();
         }, "sheet"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Thrown(row.run), row.thrown);
        EXPECT_EQ(VisibleWindows(), 0);   // no window of the row is left
    }

    // A modeless dialog stays; what its command threw comes out once.
    ThrowingDialog dialog(false);
    ASSERT_TRUE(dialog.Create());
    ::SendMessageW(dialog.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(kStrayCommand, BN_CLICKED), 0);
    EXPECT_EQ(dialog.commands, 1);
    EXPECT_TRUE(::IsWindow(dialog.GetSafeHwnd()));
    EXPECT_EQ(Thrown([&] { dialog.RethrowFailure(); }), "command");
    EXPECT_EQ(Thrown([&] { dialog.RethrowFailure(); }), "");
}

TEST(Win32Progress, TrayCaptionAndRange)
{
    ui::InitCommonControls();
    CProgressDialog progress;
    ASSERT_TRUE(progress.Create());
    HWND hWnd = progress.GetSafeHwnd();
    ASSERT_TRUE(hWnd);
    EXPECT_TRUE(::IsWindowVisible(hWnd));
    EXPECT_EQ(WindowText(hWnd), "Velmoraメールコンバータ");
    EXPECT_EQ(::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_SYSMENU, 0);
    HWND bar = progress.GetDlgItem(IDC_PROGRESS_BAR);
    ASSERT_EQ(progress.m_ctlBar, bar);

    struct Case {
        int count;
        int high;
    } cases[] = {{70000, 4464}, {0, 0}, {65535, 65535}, {65536, 0}, {12, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        TrayIndex index;
        index.liveCount = c.count;
        progress.BeginTray("受信トレイ", index);
        Range r = BarRange(bar);
        EXPECT_EQ(r.low, 0);
        EXPECT_EQ(r.high, c.high);
        EXPECT_EQ(progress.GetDlgItemText(IDC_PROGRESS_TRAY), "処理中のメールトレイ：受信トレイ");
    }

    // The position goes where it is told and a new tray does not reset it.
    // A paint is due, by the clock the window reads (which a busy machine may
    // advance late): the position reaches the bar at once.
    for (const std::uint64_t mark = ::GetTickCount64(); ::GetTickCount64() - mark < 50;)
        ::Sleep(10);
    progress.SetProgress(5);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 5);
    TrayIndex forty;
    forty.liveCount = 40;
    progress.BeginTray("表ソ能", forty);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 5);
    EXPECT_EQ(progress.GetDlgItemText(IDC_PROGRESS_TRAY), "処理中のメールトレイ：表ソ能");
    progress.SetProgress(1);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 1);

    // Told every message of a tray (up to last), the bar is sent a position
    // with each paint (every 40 ms), not for every message; it is full at
    // the tray's end and holds the last position told when the next tray
    // begins (clamped to its range).
    struct Run {
        int count;
        int last;
    } runs[] = {{60000, 60000}, {60000, 30001}, {3, 2}, {70000, 70000}, {1, 1}};
    for (const Run& run : runs) {
        SCOPED_TRACE(run.last);
        TrayIndex tray;
        tray.liveCount = run.count;
        progress.BeginTray("受信トレイ", tray);
        const int high = BarRange(bar).high;
        const std::uint64_t start = ::GetTickCount64();
        int sent;
        {
            PositionCounter counter(bar);
            for (int n = 1; n <= run.last; ++n)
                progress.SetProgress(n);
            sent = counter.Count();
        }
        const auto paints = static_cast<int>((::GetTickCount64() - start) / 40);
        EXPECT_LE(sent, paints + 3);   // and the first one, a full bar
        if (run.last == run.count) {
            EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), std::min(run.last, high));
        }
        progress.BeginTray("送信トレイ", tray);
        EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), std::min(run.last, high));
    }
}

TEST(Win32Progress, IconAndNoWayToClose)
{
    CProgressDialog progress;
    ASSERT_TRUE(progress.m_hIcon);
    ASSERT_TRUE(progress.Create());
    HWND hWnd = progress.GetSafeHwnd();
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(hWnd, WM_GETICON, ICON_BIG, 0)), progress.m_hIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(hWnd, WM_GETICON, ICON_SMALL, 0)), progress.m_hIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(hWnd, WM_QUERYDRAGICON, 0, 0)), progress.m_hIcon);

    // Enter and Esc reach the dialog as IDOK / IDCANCEL: the window stays.
    ::SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    ::SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    EXPECT_TRUE(::IsWindow(hWnd));

    // Painting while minimised draws the icon without failing.
    ::ShowWindow(hWnd, SW_MINIMIZE);
    progress.SetProgress(3);
    ::UpdateWindow(hWnd);
    EXPECT_TRUE(::IsWindow(hWnd));
}

TEST(Win32Progress, UpdatesDoNotDispatchInput)
{
    CProgressDialog progress;
    ASSERT_TRUE(progress.Create());
    // A queued key press and command stay queued while the writer updates.
    ::PostMessageW(progress.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(1234, 0), 0);
    TrayIndex three;
    three.liveCount = 3;
    progress.BeginTray("受信トレイ", three);
    for (int i = 1; i <= 3; ++i)
        progress.SetProgress(i);
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, progress.GetSafeHwnd(), WM_COMMAND, WM_COMMAND, PM_REMOVE));
}

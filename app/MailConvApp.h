// CMailConvApp: the application object, which is also the conversion job:
// the wizard fills it, the result message reads it. InitInstance is the
// program's whole life: detect, run the wizard, convert, show one result
// message, return 0.
#pragma once

#include <memory>

#include "framework/CString.h"
#include "framework/WinApp.h"
#include "writers/Progress.h"
#include "writers/Writers.h"

// What InitInstance shows: the wizard, the progress window, the result
// dialog and a message box. The Windows program installs the real ones;
// tests install fakes.
class CAppUi {
public:
    virtual ~CAppUi() = default;
    // Runs the wizard modally; answers its result (kIdWizFinish on Finish).
    virtual int RunWizard() = 0;
    // Makes (and shows) the progress window of the conversion.
    virtual std::unique_ptr<CProgressSink> CreateProgress() { return std::make_unique<CSilentProgress>(); }
    // Shows the result dialog (template 137) with message, modally.
    virtual void ShowResult(const CString& message) = 0;
    // Shows message in a message box with the program's caption, an OK
    // button and the exclamation icon, modally.
    virtual void ShowMessage(const CString& message) = 0;
};

class CMailConvApp : public CWinApp {
public:
    CMailConvApp() = default;

    // The user interface InitInstance uses (not owned). Without one, the wizard
    // counts as finished and the result is not shown.
    void SetUi(CAppUi* ui) { m_pUi = ui; }

    // Detects the store (or takes the folder given on the command line,
    // m_lpCmdLine: the store folder, its Data or its Data\MailBox folder) and
    // the target clients; says so and ends when there is no store; else runs
    // the wizard and, on Finish, converts.
    BOOL InitInstance() override;
    // Converts the job as Finish does: the mail in m_nFormat, then the
    // address book to m_strAddressCsvPath (as vCard with m_bAddressVCard);
    // m_nErrorCode gets the failure's code. Answers the result message.
    CString Convert();

    // The message InitInstance shows after a conversion.
    CString ResultMessage(int mailResult, int addressResult) const;

    // The job.
    CString m_strAppDataDir;
    CString m_strOutputDir;
    CString m_strStoreDir;
    CString m_strAddressCsvPath;
    bool m_bAddressVCard = false;     // the address book is written as vCard, not CSV
    CStringArray m_arrSelectedTrays;
    bool m_bResetOutputDir = false;   // the output page replaces its folder
    int m_nFormat = kFormatNone;
    int m_nNetscapeKind = 0;          // 0 none, 1 Netscape 4.x, 2 Netscape 6
    bool m_bEudoraInstalled = false;
    int m_nErrorCode = kErrorNone;
    // InitInstance ended with an exception: shows the result message of a
    // system error (the progress window went with the writer that made it).
    void ReportFailure(const std::exception* failure) override;

private:
    CAppUi* m_pUi = nullptr;
};

// The job of the running program, for the wizard's pages. Calling this
// without an application object is a programming error and aborts.
CMailConvApp& GetJob();

// Result texts.
extern const char* const kMessageSuccess;
// The text for an error code (any unknown code: the general text).
CString ErrorMessageFor(int errorCode);
// The text shown instead of the wizard when no store is found; it names
// where the program looked (FindStoreFolder: the store folder + "\Data\MailBox",
// or a file given as the store folder).
CString MissingStoreMessage(const CString& looked);
// The text shown instead of the wizard when the folder given as the argument
// has characters Shift_JIS cannot write (folder holds "?" for them).
CString StoreArgumentWithoutSjisFormMessage(const CString& folder);
// Longest line of a path in a message, in bytes (half-width cells): the box
// then fits a 1024-pixel screen however long the path.
constexpr int kMessagePathWidth = 60;

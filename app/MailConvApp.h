// CMailConvApp: the application object, which is also the conversion job.
// InitInstance is the program's whole life: detect, run the wizard, convert,
// show one result message, return 0.
#pragma once

#include "framework/CString.h"
#include "framework/WinApp.h"
#include "store/Job.h"

// What InitInstance shows: the wizard and the result dialog. The Windows
// program installs the real ones; tests install fakes.
class CAppUi {
public:
    virtual ~CAppUi() = default;
    // Runs the wizard modally; answers its result (kIdWizFinish on Finish).
    virtual int RunWizard() = 0;
    // Shows the result dialog (template 137) with message, modally.
    virtual void ShowResult(const CString& message) = 0;
};

class CMailConvApp : public CWinApp, public CMailConvJob {
public:
    CMailConvApp() = default;

    // The user interface InitInstance uses (not owned). Without one, the wizard
    // counts as finished and the result is not shown.
    void SetUi(CAppUi* ui) { m_pUi = ui; }

    BOOL InitInstance() override;
    // Runs the writer of m_nFormat, releases the index list, answers its result.
    int ConvertMail();

    // The message InitInstance shows after a conversion.
    CString ResultMessage(int mailResult, int addressResult) const;

private:
    CAppUi* m_pUi = nullptr;
};

// Result texts.
extern const char* const kMessageSuccess;
// The text for an error code (any unknown code: the general text).
CString ErrorMessageFor(int errorCode);

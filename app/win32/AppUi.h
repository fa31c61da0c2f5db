// The Windows user interface of the application object: the wizard, the
// result dialog, the message box and the progress window.
#pragma once

#include "app/MailConvApp.h"

class CWin32AppUi : public CAppUi {
public:
    int RunWizard() override;
    void ShowResult(const CString& message) override;
    void ShowMessage(const CString& message) override;
};

// Runs the wizard sheet modally and answers its result (kIdWizFinish on
// Finish). Defined by the wizard's code.
int RunWizardSheet();

// Gives app its Windows user interface and makes writers create the real
// progress window. Called once, before InitInstance runs.
void InstallWin32Ui(CMailConvApp& app);

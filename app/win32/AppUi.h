// The Windows user interface of the application object: the wizard, the
// result dialog, the message box and the progress window.
#pragma once

#include "app/MailConvApp.h"

class CWin32AppUi : public CAppUi {
public:
    // runWizard runs the wizard sheet modally and answers its result
    // (kIdWizFinish on Finish); the program gives it the wizard's code.
    explicit CWin32AppUi(int (*runWizard)()) : m_runWizard(runWizard) {}

    int RunWizard() override;
    std::unique_ptr<CProgressSink> CreateProgress() override;
    void ShowResult(const CString& message) override;
    void ShowMessage(const CString& message) override;

private:
    int (*m_runWizard)();
};

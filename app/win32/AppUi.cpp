#include "app/win32/AppUi.h"

#include <memory>

#include "app/win32/ProgressDialog.h"
#include "app/win32/ResultDialog.h"
#include "framework/Ui.h"
#include "writers/Progress.h"

int CWin32AppUi::RunWizard()
{
    return RunWizardSheet();
}

void CWin32AppUi::ShowResult(const CString& message)
{
    CResultDialog dialog;
    dialog.m_strMessage = message;
    dialog.DoModal();
}

void CWin32AppUi::ShowMessage(const CString& message)
{
    AfxMessageBox(message, kMbOk | kMbIconExclamation);
}

void InstallWin32Ui(CMailConvApp& app)
{
    static CWin32AppUi ui;
    app.SetUi(&ui);
    SetProgressFactory([]() -> std::unique_ptr<CProgressSink> {
        auto window = std::make_unique<CProgressDialog>();
        window->Create();
        return window;
    });
}

#include "app/win32/AppUi.h"

#include <memory>

#include "app/win32/ProgressDialog.h"
#include "app/win32/ResultDialog.h"
#include "framework/Ui.h"

int CWin32AppUi::RunWizard()
{
    return m_runWizard();
}

std::unique_ptr<CProgressSink> CWin32AppUi::CreateProgress()
{
    auto window = std::make_unique<CProgressDialog>();
    window->Create();
    return window;
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

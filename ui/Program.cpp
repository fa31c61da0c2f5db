// The one application object of VelmoraConv.exe, with the Windows user
// interface and the wizard. The framework's WinMain runs its InitInstance.
#include "app/MailConvApp.h"
#include "app/win32/AppUi.h"
#include "ui/WizardDialog.h"

CMailConvApp theApp;

namespace {
CWin32AppUi g_ui(&RunWizardSheet);
// Runs right after theApp is constructed (same file, declaration order).
const bool g_uiInstalled = (theApp.SetUi(&g_ui), true);
}  // namespace

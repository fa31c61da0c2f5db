// The one application object of VelmoraConv.exe. The framework's WinMain
// runs its InitInstance.
#include "app/MailConvApp.h"
#include "app/win32/AppUi.h"

CMailConvApp theApp;

namespace {
// Runs right after theApp is constructed (same file, declaration order).
const bool g_uiInstalled = (InstallWin32Ui(theApp), true);
}  // namespace

// The program's entry point: the application object's InitInstance is the
// whole run, and its result is the exit code.
#include <windows.h>

#include "framework/WinApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->m_lpCmdLine = lpCmdLine ? lpCmdLine : "";
    try {
        return app->InitInstance();
    } catch (...) {
        return 1;
    }
}

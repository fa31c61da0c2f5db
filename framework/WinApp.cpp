#include "framework/WinApp.h"

#include "framework/Ui.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp()
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

void CWinApp::Enable3dControls()
{
    ui::InitCommonControls();
}

CWinApp* AfxGetApp()
{
    return g_app;
}

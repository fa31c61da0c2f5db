// CWinApp: the application object. Exactly one exists; AfxGetApp() reaches it.
#pragma once

#include "framework/Types.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's whole life; its result is the process exit code.
    virtual BOOL InitInstance() { return FALSE; }

    // Turns on the three-dimensional look of dialog controls (common controls).
    void Enable3dControls();

    // The command line after the program's name (Shift_JIS; never null).
    // WinMain sets it before InitInstance runs.
    const char* m_lpCmdLine = "";
};

// The current application object, or null before one is constructed.
CWinApp* AfxGetApp();

// CWinApp: the application object. Exactly one exists; AfxGetApp() reaches it.
#pragma once

#include <exception>

#include "framework/Types.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's whole life; its result is the process exit code.
    virtual BOOL InitInstance() { return FALSE; }
    // Called by WinMain when InitInstance ended with an exception (failure:
    // the exception, or null when it is no std::exception); the exit code is
    // then 1. Tells the user; the default shows nothing.
    virtual void ReportFailure(const std::exception* /*failure*/) {}

    // Turns on the three-dimensional look of dialog controls (common controls).
    void Enable3dControls();

    // The command line after the program's name (Shift_JIS; never null).
    // WinMain sets it before InitInstance runs.
    const char* m_lpCmdLine = "";
    // False when some character of the command line has no Shift_JIS form;
    // m_lpCmdLine then holds "?" in its place.
    bool m_bCmdLineLossless = true;
};

// The current application object, or null before one is constructed.
CWinApp* AfxGetApp();

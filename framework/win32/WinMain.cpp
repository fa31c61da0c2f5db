// The program's entry point: the application object's InitInstance is the
// whole run, and its result is the exit code.
#include <windows.h>

#include <cwchar>

#include "framework/WinApp.h"
#include "framework/win32/WideText.h"

namespace {

// The command line after the program's name, by the rules Windows' own
// start-up code uses for lpCmdLine: a quoted name ends at the next quote, an
// unquoted one at the first blank or tab; the white space after it goes.
const wchar_t* ArgumentsOf(const wchar_t* line)
{
    if (!line)
        return L"";
    const wchar_t* p = line;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

CString g_commandLine;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    // The wide command line: the ANSI one has already lost every character
    // that the system's code page cannot write.
    const wchar_t* arguments = ArgumentsOf(::GetCommandLineW());
    app->m_bCmdLineLossless = wide::ToSjis(arguments, std::wcslen(arguments), &g_commandLine);
    app->m_lpCmdLine = g_commandLine.GetString();
    try {
        return app->InitInstance();
    } catch (...) {
        return 1;
    }
}

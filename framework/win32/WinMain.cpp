// The program's entry point: the application object's InitInstance is the
// whole run, and its result is the exit code. An exception that ends it is
// reported through the application object (ReportFailure) and exits with 1.
#include <windows.h>

#include <cwchar>
#include <exception>

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

// Lets the application tell the user of a failure; a failure while telling
// is not said again (the exit code says it).
void Report(CWinApp& app, const std::exception* failure)
{
    try {
        app.ReportFailure(failure);
    } catch (...) {
    }
}

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
    } catch (const std::exception& failure) {
        Report(*app, &failure);
    } catch (...) {
        Report(*app, nullptr);
    }
    return 1;
}

// Test helper: waits for a top-level dialog with the given caption that has a
// control with the given id, and prints that control's text as UTF-8.
//   dlgtext.exe CAPTION CONTROL-ID [TIMEOUT-MS]
// Exit code 0 when printed, 2 when no such dialog appeared in time, 1 on bad use.
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

namespace {

struct Search {
    const wchar_t* caption;
    int id;
    HWND found;
};

BOOL CALLBACK Visit(HWND hWnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    wchar_t title[512] = {};
    ::GetWindowTextW(hWnd, title, 512);
    if (std::wcscmp(title, search->caption) == 0 && ::GetDlgItem(hWnd, search->id)) {
        search->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

void WriteUtf8(const std::wstring& text)
{
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr,
                              nullptr);
    out += '\n';
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 1;
    Search search{argv[1], static_cast<int>(std::wcstol(argv[2], nullptr, 10)), nullptr};
    const DWORD timeout = argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 20000;
    const DWORD start = ::GetTickCount();
    while (!search.found) {
        ::EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            break;
        if (::GetTickCount() - start > timeout)
            return 2;
        ::Sleep(100);
    }
    HWND control = ::GetDlgItem(search.found, search.id);
    wchar_t text[4096] = {};
    ::SendMessageTimeoutW(control, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                          nullptr);
    WriteUtf8(text);
    return 0;
}

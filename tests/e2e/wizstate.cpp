// End-to-end helper: waits until the running wizard shows a given page and
// prints the wizard's button state and the texts of some of the page's
// controls, so that a keyboard walk polls instead of sleeping.
//   wizstate.exe PAGE [TIMEOUT-MS [ID...]]
// Prints "buttons=N" (1 Back, 2 Next, 4 Finish, each when enabled and shown),
// then one "ID=text" line (UTF-8) per id. Exit 0 when the page came, 2 when it
// did not in time (the last page seen is printed), 1 on bad use.
// PAGE -1 waits until no wizard is open any more.
#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>

namespace {

const wchar_t kCaption[] = L"Velmora\x30e1\x30fc\x30eb\x30b3\x30f3\x30d0\x30fc\x30bf";   // Velmoraメールコンバータ

// The wizard: a top-level dialog with that caption that has a Next button.
HWND FindWizard()
{
    HWND found = nullptr;
    ::EnumWindows(
        [](HWND hwnd, LPARAM data) -> BOOL {
            wchar_t title[256] = {};
            ::GetWindowTextW(hwnd, title, 256);
            if (std::wcscmp(title, kCaption) == 0 && ::GetDlgItem(hwnd, 0x3024) && ::IsWindowVisible(hwnd)) {
                *reinterpret_cast<HWND*>(data) = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

int CurrentPage(HWND wizard)
{
    auto page = reinterpret_cast<HWND>(::SendMessageW(wizard, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (!page)
        return -1;
    return static_cast<int>(::SendMessageW(wizard, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
}

int Buttons(HWND wizard)
{
    auto on = [wizard](int id) {
        HWND button = ::GetDlgItem(wizard, id);
        return button && ::IsWindowEnabled(button) && (::GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE);
    };
    return (on(0x3023) ? 1 : 0) | (on(0x3024) ? 2 : 0) | (on(0x3025) ? 4 : 0);
}

void Print(const std::wstring& text)
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
    if (argc < 2)
        return 1;
    const int wanted = static_cast<int>(std::wcstol(argv[1], nullptr, 10));
    const DWORD timeout = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 10000;
    const DWORD start = ::GetTickCount();
    HWND wizard = nullptr;
    int page = -2;
    for (;;) {
        wizard = FindWizard();
        page = wizard ? CurrentPage(wizard) : -1;
        if (page == wanted)
            break;
        if (::GetTickCount() - start > timeout) {
            Print(L"page=" + std::to_wstring(page));
            return 2;
        }
        ::Sleep(50);
    }
    if (wanted < 0)
        return 0;
    // Button states are posted by the page: wait until two reads agree.
    int buttons = Buttons(wizard);
    for (int i = 0; i < 40; ++i) {
        ::Sleep(50);
        int again = Buttons(wizard);
        if (again == buttons && i >= 2)
            break;
        buttons = again;
    }
    Print(L"buttons=" + std::to_wstring(buttons));
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(wizard, nullptr), &gui) && gui.hwndFocus)
        Print(L"focus=" + std::to_wstring(::GetDlgCtrlID(gui.hwndFocus)));
    else
        Print(L"focus=none");
    auto pageHwnd = reinterpret_cast<HWND>(::SendMessageW(wizard, PSM_GETCURRENTPAGEHWND, 0, 0));
    for (int i = 3; i < argc; ++i) {
        int id = static_cast<int>(std::wcstol(argv[i], nullptr, 10));
        wchar_t text[1024] = {};
        HWND item = ::GetDlgItem(pageHwnd, id);
        if (item)
            ::SendMessageW(item, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
        std::wstring value(text);
        for (size_t at; (at = value.find(L"\r\n")) != std::wstring::npos;)
            value.replace(at, 2, L"\\n");   // one output line per control
        Print(std::to_wstring(id) + L"=" + value);
    }
    return 0;
}

// End-to-end helper: reads the program's windows from outside, so that a
// keyboard walk polls instead of sleeping. Output is UTF-8, one item a line.
//   wintext.exe dialog CAPTION CONTROL-ID [TIMEOUT-MS [time]]
//     waits for a top-level dialog with that caption that has the control and
//     prints the control's text; with "time", looks every 10 ms and prints on
//     a second line when it found the dialog, in nanoseconds since 1970 UTC
//     (the host's clock under Wine, as `date +%s%N` gives it).
//   wintext.exe wizard PAGE [TIMEOUT-MS [ID...]]
//     waits until the wizard ("Velmoraメールコンバータ" with a Next button)
//     shows page PAGE (-1: until no wizard is open), then prints "buttons=N"
//     (1 Back, 2 Next, 4 Finish, each when enabled and shown), "focus=ID" and
//     one "ID=text" line per id of the page's controls (CR LF as "\n").
// Exit code 0 when found, 2 when not in time (wizard: the last page seen is
// printed), 1 on bad use.
#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>

namespace {

const wchar_t kWizardCaption[] = L"Velmora\x30e1\x30fc\x30eb\x30b3\x30f3\x30d0\x30fc\x30bf";
constexpr int kBack = 0x3023, kNext = 0x3024, kFinish = 0x3025;

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

// The first top-level window with caption that has a child with id (and is
// visible, when asked).
HWND FindDialog(const wchar_t* caption, int id, bool visibleOnly)
{
    struct Search {
        const wchar_t* caption;
        int id;
        bool visibleOnly;
        HWND found;
    } search{caption, id, visibleOnly, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t title[512] = {};
            ::GetWindowTextW(hwnd, title, 512);
            if (std::wcscmp(title, s->caption) == 0 && ::GetDlgItem(hwnd, s->id) &&
                (!s->visibleOnly || ::IsWindowVisible(hwnd))) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring ControlText(HWND control, std::size_t capacity)
{
    std::wstring text(capacity, L'\0');
    ::SendMessageTimeoutW(control, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                          5000, nullptr);
    text.resize(std::wcslen(text.c_str()));
    return text;
}

int DialogText(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 1;
    const int id = static_cast<int>(std::wcstol(argv[3], nullptr, 10));
    const DWORD timeout = argc > 4 ? static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)) : 20000;
    const bool timed = argc > 5 && std::wcscmp(argv[5], L"time") == 0;
    const DWORD start = ::GetTickCount();
    HWND found;
    while (!(found = FindDialog(argv[2], id, false))) {
        if (::GetTickCount() - start > timeout)
            return 2;
        ::Sleep(timed ? 10 : 100);
    }
    FILETIME now;
    ::GetSystemTimePreciseAsFileTime(&now);
    Print(ControlText(::GetDlgItem(found, id), 4096));
    if (timed) {
        // FILETIME: 100 ns ticks since 1601.
        const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        Print(std::to_wstring((ticks - 116444736000000000ULL) * 100));
    }
    return 0;
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
    return (on(kBack) ? 1 : 0) | (on(kNext) ? 2 : 0) | (on(kFinish) ? 4 : 0);
}

int WizardState(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 1;
    const int wanted = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
    const DWORD timeout = argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 10000;
    const DWORD start = ::GetTickCount();
    HWND wizard = nullptr;
    int page = -2;
    for (;;) {
        wizard = FindDialog(kWizardCaption, kNext, true);
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
    for (int i = 4; i < argc; ++i) {
        int id = static_cast<int>(std::wcstol(argv[i], nullptr, 10));
        HWND item = ::GetDlgItem(pageHwnd, id);
        std::wstring value = item ? ControlText(item, 1024) : std::wstring();
        for (size_t at; (at = value.find(L"\r\n")) != std::wstring::npos;)
            value.replace(at, 2, L"\\n");   // one output line per control
        Print(std::to_wstring(id) + L"=" + value);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 2 && std::wcscmp(argv[1], L"dialog") == 0)
        return DialogText(argc, argv);
    if (argc >= 2 && std::wcscmp(argv[1], L"wizard") == 0)
        return WizardState(argc, argv);
    return 1;
}

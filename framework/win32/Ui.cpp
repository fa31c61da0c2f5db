// User-interface services over the real Windows APIs.
#include "framework/Ui.h"

#include <windows.h>
#include <commctrl.h>

#include "framework/Sjis.h"
#include "framework/win32/WideText.h"
#include "res/strings.h"

namespace ui {

namespace {
// IDC_WAIT and IDC_ARROW, as numbers for the W function.
constexpr WORD kCursorWait = 32514;
constexpr WORD kCursorArrow = 32512;
int g_waitDepth = 0;
HCURSOR g_cursorBeforeWait = nullptr;

// A message box breaks its lines at blanks and between Japanese characters,
// and grows as wide as its widest run without either: a long name or path in
// single-byte characters could make it wider than the screen. Such runs are
// cut (after a "\", else between characters) so that each, in the message
// font, is at most three quarters of the work area of the box's monitor
// wide; the rest leaves room for the icon, the margins and the frame.
CString FitToWorkArea(const char* text, HWND owner)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor) ||
        !::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return text;   // nothing to measure by: the text as it is
    HDC dc = ::GetDC(nullptr);
    if (!dc)
        return text;
    HFONT font = ::CreateFontIndirectW(&metrics.lfMessageFont);
    HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
    const int maxWidth = (monitor.rcWork.right - monitor.rcWork.left) * 3 / 4;
    const CString fitted = SjisBreakLongRuns(text, maxWidth, [dc](const char* ch, int length) {
        const std::wstring w = wide::FromSjis(ch, static_cast<std::size_t>(length));
        SIZE size{};
        if (!::GetTextExtentPoint32W(dc, w.data(), static_cast<int>(w.size()), &size))
            return 0;   // unmeasured: counts as nothing
        return static_cast<int>(size.cx);
    });
    if (previous)
        ::SelectObject(dc, previous);   // the font it answers is the one put back
    if (font)
        ::DeleteObject(font);   // only fails for an object still selected, which it no longer is
    ::ReleaseDC(nullptr, dc);   // a common DC: always released
    return fitted;
}
}  // namespace

int PlatformMessageBox(const char* text, UINT type)
{
    // Owned by the active window (the wizard, when one is up), so it is modal to it.
    HWND owner = ::GetActiveWindow();
    return ::MessageBoxW(owner, wide::FromSjis(FitToWorkArea(text, owner)).c_str(),
                         wide::FromSjis(STR_APP_CAPTION).c_str(), type);
}

void BeginWaitCursor()
{
    HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(kCursorWait)));
    if (g_waitDepth++ == 0)
        g_cursorBeforeWait = previous;
}

void EndWaitCursor()
{
    if (g_waitDepth == 0)
        return;
    if (--g_waitDepth == 0) {
        ::SetCursor(g_cursorBeforeWait ? g_cursorBeforeWait : ::LoadCursorW(nullptr, MAKEINTRESOURCEW(kCursorArrow)));   // the wait cursor it answers is done with
        g_cursorBeforeWait = nullptr;
    }
}

void InitCommonControls()
{
    INITCOMMONCONTROLSEX init;
    init.dwSize = sizeof init;
    init.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES;
    ::InitCommonControlsEx(&init);   // a failure shows where a dialog cannot be made (DoModal answers -1)
}

}  // namespace ui

// User-interface services over the real Windows APIs.
#include "framework/Ui.h"

#include <windows.h>
#include <commctrl.h>

#include "framework/win32/WideText.h"
#include "res/strings.h"

namespace ui {

namespace {
// IDC_WAIT and IDC_ARROW, as numbers for the W function.
constexpr WORD kCursorWait = 32514;
constexpr WORD kCursorArrow = 32512;
int g_waitDepth = 0;
HCURSOR g_cursorBeforeWait = nullptr;
}  // namespace

int PlatformMessageBox(const char* text, UINT type)
{
    // Owned by the active window (the wizard, when one is up), so it is modal to it.
    return ::MessageBoxW(::GetActiveWindow(), wide::FromSjis(text).c_str(), wide::FromSjis(STR_APP_CAPTION).c_str(),
                         type);
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

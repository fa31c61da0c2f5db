// The few user-interface services that code below the window layer needs:
// message boxes, the wait cursor, common controls start-up. On Windows they
// call the real APIs; on POSIX they do nothing visible. Tests replace the
// message box through SetMessageBoxHandler and record what was asked.
#pragma once

#include <functional>

#include "framework/CString.h"
#include "framework/Types.h"

// Message box types and answers (the Windows values).
constexpr UINT kMbOk = 0x0;
constexpr UINT kMbYesNo = 0x4;
constexpr UINT kMbIconExclamation = 0x30;
constexpr UINT kMbDefButton2 = 0x100;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Shows a message box with the program's caption; answers the button pressed.
int AfxMessageBox(const char* text, UINT type = kMbOk);

// Replaces what AfxMessageBox does (null restores the platform's own).
using MessageBoxHandler = std::function<int(const CString& text, UINT type)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// Shows the hourglass for the life of the object.
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

namespace ui {
// Platform parts behind the above.
int PlatformMessageBox(const char* text, UINT type);
void BeginWaitCursor();
void EndWaitCursor();
void InitCommonControls();
}  // namespace ui

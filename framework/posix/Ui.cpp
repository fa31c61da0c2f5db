// POSIX stand-in of the user-interface services: nothing is shown; a message
// box answers as if its default button was pressed.
#include "framework/Ui.h"

namespace ui {

int PlatformMessageBox(const char* /*text*/, UINT type)
{
    if ((type & 0xF) == kMbYesNo)
        return (type & kMbDefButton2) ? kIdNo : kIdYes;
    return kIdOk;
}

void BeginWaitCursor() {}
void EndWaitCursor() {}
void InitCommonControls() {}

}  // namespace ui

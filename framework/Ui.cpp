#include "framework/Ui.h"

namespace {
MessageBoxHandler& Handler()
{
    static MessageBoxHandler handler;
    return handler;
}
}  // namespace

int AfxMessageBox(const char* text, UINT type)
{
    if (Handler())
        return Handler()(CString(text), type);
    return ui::PlatformMessageBox(text, type);
}

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    Handler() = std::move(handler);
}

CWaitCursor::CWaitCursor()
{
    ui::BeginWaitCursor();
}

CWaitCursor::~CWaitCursor()
{
    ui::EndWaitCursor();
}

#include "app/CommandLine.h"

#include "framework/Sjis.h"

bool ParseStoreArgument(const char* commandLine, CString& folder)
{
    CString text(commandLine);
    text.TrimLeft();
    text.TrimRight();
    if (text.IsEmpty())
        return false;
    if (text[0] == '"') {
        // A quote is never a trail byte; the walk keeps to characters anyway.
        const int close = SjisFind(text, '"', 1);
        text = close < 0 ? text.Mid(1) : text.Mid(1, close - 1);
        CString blank = text;
        blank.TrimLeft();
        if (blank.IsEmpty())
            return false;
    }
    SjisTrimRight(text, '\\');
    folder = text;
    return true;
}

#include "framework/win32/WindowText.h"

#include <commctrl.h>

#include <string>

#include "framework/win32/WideText.h"

namespace {

std::wstring WideWindowText(HWND window)
{
    if (!window)
        return std::wstring();
    int length = ::GetWindowTextLengthW(window);
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int got = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

}  // namespace

CString WindowText(HWND window)
{
    return wide::ToSjis(WideWindowText(window));
}

bool ReadWindowText(HWND window, CString* text)
{
    const std::wstring w = WideWindowText(window);
    return wide::ToSjis(w.data(), w.size(), text);
}

bool HasWindowText(HWND window)
{
    return window && ::GetWindowTextLengthW(window) > 0;
}

void WriteWindowText(HWND window, const char* text)
{
    if (window)
        ::SetWindowTextW(window, wide::FromSjis(text).c_str());   // fails only for a window that is gone
}

void WriteDlgItemText(HWND dialog, int id, const char* text)
{
    if (dialog)
        ::SetDlgItemTextW(dialog, id, wide::FromSjis(text).c_str());   // fails only for a control that is not there
}

void InsertListColumn(HWND list, int index, const char* heading, int width)
{
    std::wstring text = wide::FromSjis(heading);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = text.data();
    ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));   // the index it got is index
}

void InsertListRow(HWND list, int row, const char* text)
{
    std::wstring w = wide::FromSjis(text);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = w.data();
    ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));   // rows are added in order: the index is row
}

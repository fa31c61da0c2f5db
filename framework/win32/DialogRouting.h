// The one dialog procedure body of the framework's dialogs and property pages:
// the object lives in the window's DWLP_USER.
#pragma once

#include <windows.h>

#include <exception>

// Rethrows a kept exception, once: failure is empty afterwards.
inline void RethrowKept(std::exception_ptr& failure)
{
    if (!failure)
        return;
    std::exception_ptr kept = failure;
    failure = nullptr;
    std::rethrow_exception(kept);
}

// Binds object (may be null) to hWnd at WM_INITDIALOG, finds it in the
// window's data for every later message, runs its HandleMessage, and unbinds
// it when the window is gone (WM_NCDESTROY). Everything thrown stops here
// (Windows' code cannot unwind) and goes to the object's KeepFailure, which
// ends the window's modal loop; the modal call rethrows it once the loop has
// returned. T needs m_hWnd, HandleMessage and KeepFailure and makes this
// function its friend.
template <class T>
INT_PTR RouteDialogMessage(T* object, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        if (object) {
            object->m_hWnd = hWnd;
            ::SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(object));   // replaces nothing
        }
    } else {
        object = reinterpret_cast<T*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    }
    INT_PTR result = FALSE;
    if (object) {
        try {
            result = object->HandleMessage(message, wParam, lParam);
        } catch (...) {
            object->KeepFailure(std::current_exception());
            result = FALSE;   // the message counts as not handled
        }
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);   // the previous value is object
        if (object && object->m_hWnd == hWnd)
            object->m_hWnd = nullptr;
    }
    return result;
}

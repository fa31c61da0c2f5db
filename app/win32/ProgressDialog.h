// CProgressDialog: the modeless progress window of a conversion (IDD_PROGRESS):
// the tray being converted and a bar over its messages. It has no buttons and
// cannot be closed by the user; it goes when the object is destroyed.
//
// The conversion runs on the window's thread and pumps no messages, so every
// update also paints the window (only paint messages are handled: no input is
// taken while a conversion runs).
#pragma once

#include <cstdint>

#include "framework/CString.h"
#include "framework/win32/Dialog.h"
#include "res/resource.h"
#include "writers/Progress.h"

class CProgressDialog : public CDialog, public CProgressSink {
public:
    enum { IDD = IDD_PROGRESS };

    // Loads the icon IDR_MAINFRAME; the window is made by Create().
    CProgressDialog();

    // Creates the (visible) window from IDD_PROGRESS with no parent and paints it.
    BOOL Create();

    // Range 0 .. low 16 bits of count; IDC_PROGRESS_TRAY gets
    // "処理中のメールトレイ：" + tray. The position is left as it is.
    void BeginTray(const CString& tray, const TrayIndex& index) override;
    // Bar position n.
    void SetProgress(int n) override;

    HWND m_ctlBar = nullptr;    // IDC_PROGRESS_BAR
    HICON m_hIcon = nullptr;

protected:
    BOOL OnInitDialog() override;
    // Enter and Esc must not close the window.
    void OnOK() override {}
    void OnCancel() override {}
    // Painting while minimised and the drag icon.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    // Paints what is pending in the window and its controls, then rethrows
    // what a handler threw meanwhile.
    void PaintNow(bool force);
    std::uint64_t m_lastPaint = 0;
};

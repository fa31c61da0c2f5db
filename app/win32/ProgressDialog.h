// CProgressDialog: the modeless progress window of a conversion (IDD_PROGRESS):
// the tray being converted and a bar over its messages. It has no buttons and
// cannot be closed by the user; it goes when the object is destroyed.
//
// The conversion runs on the window's thread and pumps no messages, so the
// updates also paint the window, every 40 ms at most (only paint messages are
// handled: no input is taken while a conversion runs). The bar repaints
// itself on every PBM_SETPOS, so it is sent the position with those paints,
// not for every message.
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
    // "処理中のメールトレイ：" + tray. The position is left as it is: the
    // last one told.
    void BeginTray(const CString& tray, const TrayIndex& index) override;
    // Bar position n: sent to the bar when the window is painted, when it is
    // below the bar's position (a new tray) or when it is the range's end.
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
    bool PaintDue(std::uint64_t now) const;
    // Sends the position told last when the bar holds another one.
    void SendPosition();

    std::uint64_t m_lastPaint = 0;
    int m_range = 0;   // the bar's upper bound
    int m_told = 0;    // the position told last
    int m_sent = 0;    // the position the bar holds
};

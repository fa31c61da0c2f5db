// CDialog: a dialog over a Win32 dialog template, modal (DoModal) or modeless
// (Create). The static dialog procedure keeps `this` in the window's user data
// (DWLP_USER) and routes each message to the virtual handlers below; nothing
// thrown by a handler ever crosses into Windows' code (RouteDialogMessage,
// shared with the property pages). What a handler throws is kept: it ends a
// modal dialog, and DoModal rethrows it; Create rethrows what initialisation
// threw, and RethrowFailure what a later message of a modeless one threw.
#pragma once

#include <windows.h>

#include <exception>

#include "framework/CString.h"

class CDialog {
public:
    explicit CDialog(UINT nIDTemplate = 0, HWND hParent = nullptr);
    // Destroys a modeless window that still exists.
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally. Answers what was given to EndDialog (IDOK from
    // OnOK, IDCANCEL from OnCancel), or -1 when the window could not be made.
    // A handler's exception ends the dialog and is rethrown from here.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless from the template (0: the one given to the
    // constructor). False when the window could not be made. An exception of
    // its initialisation destroys the window and is rethrown from here.
    BOOL Create(UINT nIDTemplate = 0, HWND hParent = nullptr);
    // Rethrows, once, what a handler of this modeless dialog threw.
    void RethrowFailure();
    // Destroys the window (modeless); true when there was one and it is gone.
    BOOL DestroyWindow();
    // Ends a modal dialog with result; a modeless one is destroyed.
    void EndDialog(int result);

    HWND GetSafeHwnd() const { return m_hWnd; }
    bool IsModal() const { return m_bModal; }
    HWND GetDlgItem(int id) const;
    void SetDlgItemText(int id, const char* text);
    CString GetDlgItemText(int id) const;
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Centres the window over its owner, or over the work area when it has none.
    void CenterWindow();

    // The module whose resources hold the templates (the running program).
    static HINSTANCE ResourceInstance();
    // The object bound to a dialog window, or null.
    static CDialog* FromHandle(HWND hWnd);

    HWND m_hWnd = nullptr;

protected:
    // WM_INITDIALOG. TRUE lets Windows set the focus to the first control.
    virtual BOOL OnInitDialog() { return TRUE; }
    // IDOK / IDCANCEL commands (Enter, Esc, the close box): end the dialog.
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Any other WM_COMMAND; true when handled.
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // WM_NOTIFY; true when handled, with *result as the answer (DWLP_MSGRESULT).
    virtual bool OnNotify(int /*id*/, NMHDR* /*header*/, LRESULT* /*result*/) { return false; }
    // Any other message; true when handled, with *result as the procedure's answer.
    virtual bool OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, INT_PTR* /*result*/)
    {
        return false;
    }

    // Dispatches one message to the handlers above.
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    template <class T>
    friend INT_PTR RouteDialogMessage(T* object, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    HWND m_hParent;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Keeps the first exception a handler threw and ends a modal dialog.
    void KeepFailure(std::exception_ptr failure);

    bool m_bModal = false;
    std::exception_ptr m_failure;
};

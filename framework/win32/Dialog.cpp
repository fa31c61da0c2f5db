#include "framework/win32/Dialog.h"
#include "framework/win32/DialogRouting.h"
#include "framework/win32/WindowText.h"

CDialog::CDialog(UINT nIDTemplate, HWND hParent) : m_nIDTemplate(nIDTemplate), m_hParent(hParent) {}

CDialog::~CDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND hWnd = m_hWnd;
        // The object is going: no more messages may reach it.
        ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);   // the previous value is this object
        m_hWnd = nullptr;
        ::DestroyWindow(hWnd);   // a window that will not go cannot reach the object any more
    }
}

HINSTANCE CDialog::ResourceInstance()
{
    return ::GetModuleHandleW(nullptr);
}

CDialog* CDialog::FromHandle(HWND hWnd)
{
    return hWnd ? reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hWnd, DWLP_USER)) : nullptr;
}

INT_PTR CDialog::DoModal()
{
    m_bModal = true;
    INT_PTR result = ::DialogBoxParamW(ResourceInstance(), MAKEINTRESOURCEW(m_nIDTemplate), m_hParent,
                                       DialogProc, reinterpret_cast<LPARAM>(this));
    m_bModal = false;
    m_hWnd = nullptr;
    RethrowFailure();
    return result;
}

BOOL CDialog::Create(UINT nIDTemplate, HWND hParent)
{
    if (m_hWnd)
        return FALSE;
    if (nIDTemplate)
        m_nIDTemplate = nIDTemplate;
    if (hParent)
        m_hParent = hParent;
    m_bModal = false;
    HWND hWnd = ::CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(m_nIDTemplate), m_hParent,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
    if (m_failure) {
        // Half initialised: the window goes, the exception goes on.
        if (hWnd && ::IsWindow(hWnd))
            ::DestroyWindow(hWnd);   // the exception says what went wrong
        RethrowFailure();
    }
    return hWnd != nullptr;
}

void CDialog::RethrowFailure()
{
    RethrowKept(m_failure);
}

void CDialog::KeepFailure(std::exception_ptr failure)
{
    if (!m_failure)
        m_failure = failure;
    if (m_bModal && m_hWnd)
        ::EndDialog(m_hWnd, -1);   // fails only for a window that is no dialog
}

BOOL CDialog::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CDialog::EndDialog(int result)
{
    if (!m_hWnd)
        return;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);   // fails only for a window that is no dialog
    else
        DestroyWindow();   // a window that will not go stays bound and usable
}

HWND CDialog::GetDlgItem(int id) const
{
    return m_hWnd ? ::GetDlgItem(m_hWnd, id) : nullptr;
}

void CDialog::SetDlgItemText(int id, const char* text)
{
    WriteDlgItemText(m_hWnd, id, text);
}

CString CDialog::GetDlgItemText(int id) const
{
    return WindowText(GetDlgItem(id));
}

LRESULT CDialog::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) const
{
    return m_hWnd ? ::SendDlgItemMessageW(m_hWnd, id, message, wParam, lParam) : 0;
}

void CDialog::CenterWindow()
{
    if (!m_hWnd)
        return;
    RECT area = {};
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    const bool overOwner = owner && ::IsWindowVisible(owner) && !::IsIconic(owner);
    const bool found = overOwner ? ::GetWindowRect(owner, &area) != 0
                                 : ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) != 0;
    RECT self = {};
    if (!found || !::GetWindowRect(m_hWnd, &self))
        return;   // nothing to centre on: the window stays where it is
    int x = area.left + ((area.right - area.left) - (self.right - self.left)) / 2;
    int y = area.top + ((area.bottom - area.top) - (self.bottom - self.top)) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);   // a window not moved is still usable
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        RECT before = {};
        const bool placed = ::GetWindowRect(m_hWnd, &before) != 0;
        BOOL focus = OnInitDialog();
        // A top-level dialog that its initialisation did not place is centred.
        RECT after = {};
        if (placed && m_hWnd && ::GetWindowRect(m_hWnd, &after) &&
            !(::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_CHILD) && before.left == after.left &&
            before.top == after.top)
            CenterWindow();
        return focus;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (OnCommand(id, HIWORD(wParam), reinterpret_cast<HWND>(lParam)))
            return TRUE;
        if (id == IDOK) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (header && OnNotify(static_cast<int>(header->idFrom), header, &result)) {
            ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);   // the previous result is not needed
            return TRUE;
        }
        return FALSE;
    }
    default: {
        INT_PTR result = 0;
        if (OnMessage(message, wParam, lParam, &result))
            return result;
        return FALSE;
    }
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RouteDialogMessage(message == WM_INITDIALOG ? reinterpret_cast<CDialog*>(lParam) : nullptr, hWnd, message,
                              wParam, lParam);
}

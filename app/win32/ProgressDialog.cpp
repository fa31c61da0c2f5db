#include "app/win32/ProgressDialog.h"

#include <commctrl.h>

#include "store/MailIndexLoader.h"

namespace {
// Bar updates closer together than this are painted with the next one.
constexpr std::uint64_t kPaintIntervalMs = 40;
}  // namespace

CProgressDialog::CProgressDialog() : CDialog(IDD, nullptr)
{
    m_hIcon = ::LoadIconW(ResourceInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

BOOL CProgressDialog::Create()
{
    if (!CDialog::Create(IDD, nullptr))
        return FALSE;
    PaintNow(true);
    return TRUE;
}

BOOL CProgressDialog::OnInitDialog()
{
    CDialog::OnInitDialog();   // the dialog gives its own answer
    m_ctlBar = GetDlgItem(IDC_PROGRESS_BAR);
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));   // answers the old icon
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));   // answers the old icon
    return TRUE;
}

void CProgressDialog::BeginTray(const CString& tray, const TrayIndex& index)
{
    if (!m_hWnd)
        return;
    SendPosition();   // the last tray's last position, before the range changes
    const WORD upper = static_cast<WORD>(static_cast<unsigned>(index.liveCount) & 0xFFFF);
    ::SendMessageW(m_ctlBar, PBM_SETRANGE, 0, MAKELPARAM(0, upper));   // answers the old range
    m_range = upper;
    CString caption("処理中のメールトレイ：");
    caption += tray;
    SetDlgItemText(IDC_PROGRESS_TRAY, caption);
    PaintNow(true);
}

void CProgressDialog::SetProgress(int n)
{
    if (!m_hWnd)
        return;
    m_told = n;
    // The bar repaints itself for each position it is sent (under Wine that
    // takes about a millisecond): it gets one with each paint of the window,
    // and at once when it goes back (a new tray) or becomes full.
    if (PaintDue(::GetTickCount64()) || n < m_sent || n == m_range)
        SendPosition();
    PaintNow(false);
}

void CProgressDialog::SendPosition()
{
    if (m_told == m_sent)
        return;
    ::SendMessageW(m_ctlBar, PBM_SETPOS, static_cast<WPARAM>(m_told), 0);   // answers the old position
    m_sent = m_told;
}

bool CProgressDialog::PaintDue(std::uint64_t now) const
{
    return now - m_lastPaint >= kPaintIntervalMs;
}

void CProgressDialog::PaintNow(bool force)
{
    const std::uint64_t now = ::GetTickCount64();
    if (!force && !PaintDue(now))
        return;
    m_lastPaint = now;
    // Paint messages only: input stays queued and is never dispatched here.
    MSG msg;
    while (::PeekMessageW(&msg, m_hWnd, WM_PAINT, WM_PAINT, PM_REMOVE))
        ::DispatchMessageW(&msg);   // a paint message answers nothing
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);   // an unpainted bar loses no data
    // What painting threw goes on to the conversion, which this window serves.
    RethrowFailure();
}

bool CProgressDialog::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR* result)
{
    switch (message) {
    case WM_PAINT:
        if (!::IsIconic(m_hWnd))
            return false;
        {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(m_hWnd, &ps);
            ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);   // answers whether it erased
            RECT rect = {};
            if (::GetClientRect(m_hWnd, &rect)) {
                int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
                int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
                ::DrawIcon(dc, x, y, m_hIcon);   // an icon not drawn loses nothing
            }
            ::EndPaint(m_hWnd, &ps);   // always succeeds
        }
        *result = TRUE;
        return true;
    case WM_QUERYDRAGICON:
        *result = reinterpret_cast<INT_PTR>(m_hIcon);
        return true;
    default:
        return false;
    }
}

#include "framework/win32/PropertySheet.h"
#include "framework/win32/DialogRouting.h"
#include "framework/win32/WideText.h"
#include "framework/win32/WindowText.h"

#include <cstring>

namespace {

// The sheet being created on this thread: PropertySheetW's callback gets no
// user data, so the sheet announces itself here for the length of the call.
thread_local CPropertySheet* g_creatingSheet = nullptr;

// Posted to a page after it became current: gives the keyboard focus to the
// sheet's default button when the page left it nowhere (a page without tab
// stops), so Return still presses Next or Finish.
constexpr UINT kMsgCheckFocus = WM_APP + 0x5A1;

struct CreatingScope {
    explicit CreatingScope(CPropertySheet* sheet) { g_creatingSheet = sheet; }
    ~CreatingScope() { g_creatingSheet = nullptr; }
};

}  // namespace

// ---- CPropertyPage -----------------------------------------------------------

CPropertyPage::CPropertyPage(UINT templateId) : m_nTemplate(templateId) {}

HWND CPropertyPage::GetSheetHwnd() const
{
    return m_hWnd ? ::GetParent(m_hWnd) : nullptr;
}

HWND CPropertyPage::GetDlgItem(int id) const
{
    return m_hWnd ? ::GetDlgItem(m_hWnd, id) : nullptr;
}

CString CPropertyPage::GetDlgItemText(int id) const
{
    return WindowText(GetDlgItem(id));
}

void CPropertyPage::SetDlgItemText(int id, const char* text)
{
    WriteDlgItemText(m_hWnd, id, text);
}

bool CPropertyPage::IsDlgButtonChecked(int id) const
{
    return m_hWnd && ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CPropertyPage::SetWizardButtons(DWORD flags)
{
    HWND sheet = GetSheetHwnd();
    if (sheet)
        ::PostMessageW(sheet, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));   // fails only with a full queue
}

INT_PTR CALLBACK CPropertyPage::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CPropertyPage* page = nullptr;
    if (message == WM_INITDIALOG) {
        // lParam is comctl32's copy of our PROPSHEETPAGEW; its lParam is the page.
        auto* psp = reinterpret_cast<PROPSHEETPAGEW*>(lParam);
        page = psp ? reinterpret_cast<CPropertyPage*>(psp->lParam) : nullptr;
    }
    return RouteDialogMessage(page, hwnd, message, wParam, lParam);
}

INT_PTR CPropertyPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case kMsgCheckFocus:
        EnsureFocus();
        return TRUE;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (!header)
            return FALSE;
        if (header->hwndFrom == GetSheetHwnd())
            return HandleSheetNotify(header);
        LRESULT result = 0;
        if (!OnNotify(static_cast<UINT>(header->idFrom), header, &result))
            return FALSE;
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);   // the previous result is not needed
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void CPropertyPage::EnsureFocus()
{
    HWND sheet = GetSheetHwnd();
    if (!sheet || !::IsWindowVisible(m_hWnd))
        return;
    HWND focus = ::GetFocus();
    if (focus && (focus == sheet || ::IsChild(sheet, focus)) && ::IsWindowVisible(focus))
        return;
    // Finish, else Next, else Back: the first one shown and enabled.
    for (int id : {kIdSheetFinish, kIdSheetNext, kIdSheetBack}) {
        HWND button = ::GetDlgItem(sheet, id);
        if (button && ::IsWindowVisible(button) && ::IsWindowEnabled(button)) {
            ::SendMessageW(sheet, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);   // answers nothing
            return;
        }
    }
}

void CPropertyPage::KeepFailure(std::exception_ptr failure)
{
    if (m_pSheet)
        m_pSheet->KeepFailure(failure, GetSheetHwnd());
}

INT_PTR CPropertyPage::HandleSheetNotify(NMHDR* header)
{
    LRESULT result = 0;
    switch (header->code) {
    case PSN_SETACTIVE:
        result = OnSetActive() ? 0 : -1;
        if (result == 0)
            ::PostMessageW(m_hWnd, kMsgCheckFocus, 0, 0);   // with a full queue the focus stays as it is
        break;
    case PSN_KILLACTIVE:
        result = OnKillActive() ? FALSE : TRUE;
        break;
    case PSN_WIZNEXT:
        result = OnWizardNext();
        break;
    case PSN_WIZBACK:
        result = OnWizardBack();
        break;
    case PSN_WIZFINISH: {
        BOOL finish = OnWizardFinish();
        if (finish && m_pSheet)
            m_pSheet->m_nResult = kIdWizFinish;
        result = finish ? FALSE : TRUE;
        break;
    }
    case PSN_RESET:
        if (m_pSheet)
            m_pSheet->m_nResult = IDCANCEL;
        break;
    default:
        return FALSE;
    }
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);   // the previous result is not needed
    return TRUE;
}

// ---- CPropertySheet ----------------------------------------------------------

CPropertySheet::CPropertySheet(const char* caption, HWND parent, UINT startPage)
    : m_strCaption(wide::FromSjis(caption))
{
    std::memset(&m_psh, 0, sizeof(m_psh));
    m_psh.dwSize = sizeof(m_psh);
    m_psh.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    m_psh.hwndParent = parent;
    m_psh.hInstance = ::GetModuleHandleW(nullptr);
    m_psh.nStartPage = startPage;
}

CPropertySheet::~CPropertySheet()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);   // nothing more can be done for a window that will not go
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    if (page) {
        page->m_pSheet = this;
        m_pages.push_back(page);
    }
}

CPropertyPage* CPropertySheet::GetPage(int index) const
{
    if (index < 0 || index >= GetPageCount())
        return nullptr;
    return m_pages[static_cast<size_t>(index)];
}

bool CPropertySheet::BuildHeader(bool modeless)
{
    if (m_pages.empty())
        return false;
    m_pageData.assign(m_pages.size(), PROPSHEETPAGEW{});
    for (size_t i = 0; i < m_pages.size(); ++i) {
        PROPSHEETPAGEW& psp = m_pageData[i];
        psp.dwSize = sizeof(psp);
        psp.dwFlags = PSP_DEFAULT;
        psp.hInstance = m_psh.hInstance;
        psp.pszTemplate = MAKEINTRESOURCEW(m_pages[i]->m_nTemplate);
        psp.pfnDlgProc = &CPropertyPage::DialogProc;
        psp.lParam = reinterpret_cast<LPARAM>(m_pages[i]);
    }
    m_psh.dwFlags |= PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    if (modeless)
        m_psh.dwFlags |= PSH_MODELESS;
    else
        m_psh.dwFlags &= ~static_cast<DWORD>(PSH_MODELESS);
    m_psh.pszCaption = m_strCaption.c_str();
    m_psh.nPages = static_cast<UINT>(m_pageData.size());
    if (m_psh.nStartPage >= m_psh.nPages)
        m_psh.nStartPage = 0;
    m_psh.ppsp = m_pageData.data();
    m_psh.pfnCallback = &CPropertySheet::SheetCallback;
    m_nResult = IDCANCEL;
    return true;
}

int CALLBACK CPropertySheet::SheetCallback(HWND hwnd, UINT message, LPARAM /*lParam*/)
{
    if (message == PSCB_INITIALIZED && g_creatingSheet) {
        CPropertySheet* sheet = g_creatingSheet;
        sheet->m_hWnd = hwnd;
        try {
            sheet->OnInitDialog();   // a sheet has no focus to set: the answer is not needed
        } catch (...) {
            sheet->KeepFailure(std::current_exception(), hwnd);
        }
    }
    return 0;
}

INT_PTR CPropertySheet::DoModal()
{
    if (!BuildHeader(false))
        return -1;
    INT_PTR rc;
    {
        CreatingScope scope(this);
        rc = ::PropertySheetW(&m_psh);
    }
    m_hWnd = nullptr;
    RethrowFailure();
    if (rc < 0)
        return -1;
    return m_nResult;
}

HWND CPropertySheet::Create()
{
    if (!BuildHeader(true))
        return nullptr;
    INT_PTR rc;
    {
        CreatingScope scope(this);
        rc = ::PropertySheetW(&m_psh);
    }
    if (rc == 0 || rc == -1) {
        RethrowFailure();
        return nullptr;
    }
    m_hWnd = reinterpret_cast<HWND>(rc);
    if (m_failure) {
        DestroyWindow();
        RethrowFailure();
    }
    return m_hWnd;
}

void CPropertySheet::RethrowFailure()
{
    RethrowKept(m_failure);
}

void CPropertySheet::KeepFailure(std::exception_ptr failure, HWND sheet)
{
    if (m_failure)
        return;
    m_failure = failure;
    if (!sheet)
        sheet = m_hWnd;
    // With a full queue the sheet ends when the user ends it; the exception
    // comes out then.
    if (sheet)
        ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

bool CPropertySheet::IsDone() const
{
    return !m_hWnd || !::IsWindow(m_hWnd) ||
           ::SendMessageW(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0) == 0;
}

void CPropertySheet::DestroyWindow()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);   // nothing more can be done for a window that will not go
    m_hWnd = nullptr;
}

int CPropertySheet::GetActiveIndex() const
{
    if (!m_hWnd)
        return -1;
    HWND current = reinterpret_cast<HWND>(::SendMessageW(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (!current)
        return -1;
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i]->m_hWnd == current)
            return static_cast<int>(i);
    return -1;
}

CPropertyPage* CPropertySheet::GetActivePage() const
{
    return GetPage(GetActiveIndex());
}

#include "ui/WizardDialog.h"

#include "res/resource.h"

CWizardDialog::CWizardDialog(const char* caption, HWND parent, UINT startPage)
    : CPropertySheet(caption, parent, startPage)
{
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    // The address book page comes before the summary, though declared after it.
    AddPage(&m_page01);
    AddPage(&m_page02);
    AddPage(&m_page03);
    AddPage(&m_page04);
    AddPage(&m_page06);
    AddPage(&m_page05);
}

BOOL CWizardDialog::OnInitDialog()
{
    BOOL result = CPropertySheet::OnInitDialog();
    if (m_hIcon) {
        ::SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
        ::SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    }
    return result;
}

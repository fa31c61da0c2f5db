#include "ui/WizardDialog.h"

#include "res/resource.h"

CWizardDialog::CWizardDialog(const char* caption, HWND parent, UINT startPage)
    : CPropertySheet(caption, parent, startPage)
{
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    AddPage(&m_introPage);
    AddPage(&m_trayPage);
    AddPage(&m_formatPage);
    AddPage(&m_outputFolderPage);
    AddPage(&m_addressBookPage);
    AddPage(&m_summaryPage);
}

BOOL CWizardDialog::OnInitDialog()
{
    BOOL result = CPropertySheet::OnInitDialog();
    if (m_hIcon) {
        ::SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));   // answers the old icon
        ::SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));   // answers the old icon
    }
    return result;
}

#include "app/win32/ResultDialog.h"

CResultDialog::CResultDialog(HWND hParent) : CDialog(IDD, hParent) {}

BOOL CResultDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_ctlMessage = GetDlgItem(IDC_RESULT_TEXT);
    SetDlgItemText(IDC_RESULT_TEXT, m_strMessage);
    return TRUE;
}

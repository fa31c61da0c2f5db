#include "app/win32/ResultDialog.h"

CResultDialog::CResultDialog(HWND hParent) : CDialog(IDD, hParent) {}

BOOL CResultDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_RESULT_TEXT, m_strMessage);
    return TRUE;
}

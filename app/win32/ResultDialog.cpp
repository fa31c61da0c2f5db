#include "app/win32/ResultDialog.h"

CResultDialog::CResultDialog(HWND hParent) : CDialog(IDD, hParent) {}

BOOL CResultDialog::OnInitDialog()
{
    CDialog::OnInitDialog();   // the dialog gives its own answer
    SetDlgItemText(IDC_RESULT_TEXT, m_strMessage);
    return TRUE;
}

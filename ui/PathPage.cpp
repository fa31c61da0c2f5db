// The page with a path box and a Browse button (output folder, CSV file).
#include "framework/Ui.h"
#include "framework/win32/WindowText.h"
#include "ui/WizardPages.h"
#include "ui/WizardRules.h"

void CPathPage::UpdateButtons()
{
    SetWizardButtons(BackNextButtons(HasWindowText(PathEdit())));
}

bool CPathPage::ReadPath(CString* path) const
{
    CString text;
    const bool lossless = ReadWindowText(PathEdit(), &text);
    *path = TrimTrailingSeparators(text);
    if (lossless)
        return true;
    AfxMessageBox(PathWithoutSjisFormMessage(*path), kMbOk | kMbIconExclamation);   // an OK box: the answer is OK
    return false;
}

bool CPathPage::OnCommand(UINT id, UINT code)
{
    if (id == m_nEditId && code == EN_CHANGE) {
        UpdateButtons();
        return true;
    }
    if (id == m_nBrowseId && code == BN_CLICKED) {
        OnBrowse();
        return true;
    }
    return false;
}

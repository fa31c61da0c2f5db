// The page with a path box and a Browse button (output folder, CSV file).
#include "ui/WizardPages.h"
#include "ui/WizardRules.h"

void CPathPage::UpdateButtons()
{
    SetWizardButtons(BackNextButtons(::GetWindowTextLengthA(PathEdit()) > 0));
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

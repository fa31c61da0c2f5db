// The introduction, tray, format and output-folder pages.
#include <string>

#include "framework/Ui.h"
#include "framework/win32/WindowText.h"
#include "res/resource.h"
#include "app/MailConvApp.h"
#include "store/TrayList.h"
#include "ui/WizardPages.h"
#include "ui/WizardRules.h"
#include "ui/WizardShell.h"

// ---- Introduction --------------------------------------------------------------

CWizardPage01::CWizardPage01() : CPropertyPage(IDD_WIZARD_PAGE01) {}

BOOL CWizardPage01::OnSetActive()
{
    SetWizardButtons(kWizNext);
    return CPropertyPage::OnSetActive();
}

// ---- Trays ---------------------------------------------------------------------

CWizardPage02::CWizardPage02() : CPropertyPage(IDD_WIZARD_PAGE02) {}

BOOL CWizardPage02::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    m_ctlTrayList = GetDlgItem(IDC_TRAY_LIST);

    InsertListColumn(m_ctlTrayList, 0, "メールトレイ", 320);
    ::SendMessageW(m_ctlTrayList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);

    CMailConvApp& job = GetJob();
    job.m_arrSelectedTrays.RemoveAll();

    m_arrTrays.RemoveAll();
    ReadTraySequence(job.m_strStoreDir, m_arrTrays);
    for (int row = 0; row < m_arrTrays.GetSize(); ++row)
        InsertListRow(m_ctlTrayList, row, m_arrTrays[row]);
    return TRUE;
}

void CWizardPage02::UpdateButtons()
{
    bool selected = ::SendMessageW(m_ctlTrayList, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
    SetWizardButtons(BackNextButtons(selected));
}

BOOL CWizardPage02::OnSetActive()
{
    UpdateButtons();
    GetJob().m_arrSelectedTrays.RemoveAll();
    return CPropertyPage::OnSetActive();
}

bool CWizardPage02::OnNotify(UINT id, NMHDR* header, LRESULT* result)
{
    if (id != IDC_TRAY_LIST || header->code != LVN_ITEMCHANGED)
        return false;
    UpdateButtons();
    *result = 0;
    return true;
}

LRESULT CWizardPage02::OnWizardNext()
{
    CMailConvApp& job = GetJob();
    int row = -1;
    while ((row = static_cast<int>(::SendMessageW(m_ctlTrayList, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                                  LVNI_SELECTED))) >= 0) {
        if (row < m_arrTrays.GetSize())
            job.m_arrSelectedTrays.Add(m_arrTrays[row]);
    }
    return CPropertyPage::OnWizardNext();
}

// ---- Format --------------------------------------------------------------------

CWizardPage03::CWizardPage03() : CPropertyPage(IDD_WIZARD_PAGE03) {}

BOOL CWizardPage03::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    CMailConvApp& job = GetJob();
    if (!job.m_bEudoraInstalled)
        ::EnableWindow(GetDlgItem(IDC_FORMAT_EUDORA), FALSE);
    if (job.m_nNetscapeKind == 0)
        ::EnableWindow(GetDlgItem(IDC_FORMAT_NETSCAPE), FALSE);
    return TRUE;
}

void CWizardPage03::PostButtons()
{
    SetWizardButtons(BackNextButtons(GetJob().m_nFormat != kFormatNone));
}

BOOL CWizardPage03::OnSetActive()
{
    bool selected[kFormatRadioCount];
    for (int i = 0; i < kFormatRadioCount; ++i)
        selected[i] = IsDlgButtonChecked(static_cast<int>(kFormatRadioIds[i]));
    ApplyFormatSelection(GetJob(), selected);
    PostButtons();
    return CPropertyPage::OnSetActive();
}

bool CWizardPage03::OnCommand(UINT id, UINT code)
{
    if (id < IDC_FORMAT_MBOX || id > IDC_FORMAT_NETSCAPE || code != BN_CLICKED)
        return false;
    bool selected[kFormatRadioCount];
    for (int i = 0; i < kFormatRadioCount; ++i)
        selected[i] = IsDlgButtonChecked(static_cast<int>(kFormatRadioIds[i]));
    ApplyFormatClick(GetJob(), id, selected);
    PostButtons();
    return true;
}

// ---- Output folder -------------------------------------------------------------

CWizardPage04::CWizardPage04() : CPathPage(IDD_WIZARD_PAGE04, IDC_OUTPUT_DIR, IDC_OUTPUT_BROWSE) {}

BOOL CWizardPage04::OnInitDialog()
{
    BOOL result = CPropertyPage::OnInitDialog();
    m_editOutputDir = GetDlgItem(IDC_OUTPUT_DIR);
    return result;
}

BOOL CWizardPage04::OnSetActive()
{
    CMailConvApp& job = GetJob();
    if (job.m_bResetOutputDir) {
        CString folder = DefaultOutputFolder(job);
        WriteWindowText(m_editOutputDir, folder);
        job.m_bResetOutputDir = false;
    }
    UpdateButtons();
    return CPropertyPage::OnSetActive();
}

void CWizardPage04::OnBrowse()
{
    CString start = WindowText(m_editOutputDir);
    CString folder;
    if (GetWizardShell().BrowseForFolder(GetSafeHwnd(), "エスポート先のフォルダを選択してください。", start, folder))
        WriteWindowText(m_editOutputDir, folder);
}

LRESULT CWizardPage04::OnWizardNext()
{
    CString folder;
    if (!ReadPath(&folder))
        return -1;
    if (PathIsExistingFile(folder)) {
        AfxMessageBox("設定したフォルダはファイルです。", kMbOk);
        return -1;
    }
    GetJob().m_strOutputDir = folder;
    return CPropertyPage::OnWizardNext();
}

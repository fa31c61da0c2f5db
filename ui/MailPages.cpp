// The introduction, tray, format and output-folder pages.
#include <string>

#include "app/Conversion.h"
#include "app/MailConvApp.h"
#include "framework/Ui.h"
#include "framework/win32/WindowText.h"
#include "res/resource.h"
#include "store/TrayList.h"
#include "ui/WizardPages.h"
#include "ui/WizardRules.h"
#include "ui/WizardShell.h"

// ---- Introduction --------------------------------------------------------------

CIntroPage::CIntroPage() : CPropertyPage(IDD_INTRO_PAGE) {}

BOOL CIntroPage::OnSetActive()
{
    SetWizardButtons(kWizNext);
    return CPropertyPage::OnSetActive();
}

// ---- Trays ---------------------------------------------------------------------

CTrayPage::CTrayPage() : CPropertyPage(IDD_TRAY_PAGE) {}

BOOL CTrayPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();   // the page gives its own answer
    m_ctlTrayList = GetDlgItem(IDC_TRAY_LIST);

    InsertListColumn(m_ctlTrayList, 0, "メールトレイ", 320);
    ::SendMessageW(m_ctlTrayList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);   // answers the old style

    CMailConvApp& job = GetJob();
    job.m_arrSelectedTrays.RemoveAll();

    m_arrTrays.RemoveAll();
    ReadTraySequence(job.m_strStoreDir, m_arrTrays);
    for (int row = 0; row < m_arrTrays.GetSize(); ++row)
        InsertListRow(m_ctlTrayList, row, m_arrTrays[row]);
    return TRUE;
}

void CTrayPage::UpdateButtons()
{
    bool selected = ::SendMessageW(m_ctlTrayList, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
    SetWizardButtons(BackNextButtons(selected));
}

BOOL CTrayPage::OnSetActive()
{
    UpdateButtons();
    GetJob().m_arrSelectedTrays.RemoveAll();
    return CPropertyPage::OnSetActive();
}

bool CTrayPage::OnNotify(UINT id, NMHDR* header, LRESULT* result)
{
    if (id != IDC_TRAY_LIST || header->code != LVN_ITEMCHANGED)
        return false;
    UpdateButtons();
    *result = 0;
    return true;
}

LRESULT CTrayPage::OnWizardNext()
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

CFormatPage::CFormatPage() : CPropertyPage(IDD_FORMAT_PAGE) {}

BOOL CFormatPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();   // the page gives its own answer
    CMailConvApp& job = GetJob();
    if (!job.m_bEudoraInstalled)
        ::EnableWindow(GetDlgItem(IDC_FORMAT_EUDORA), FALSE);   // answers the old state
    if (job.m_nNetscapeKind == 0)
        ::EnableWindow(GetDlgItem(IDC_FORMAT_NETSCAPE), FALSE);   // answers the old state
    return TRUE;
}

void CFormatPage::PostButtons()
{
    SetWizardButtons(BackNextButtons(GetJob().m_nFormat != kFormatNone));
}

BOOL CFormatPage::OnSetActive()
{
    bool selected[kFormatRadioCount];
    for (int i = 0; i < kFormatRadioCount; ++i)
        selected[i] = IsDlgButtonChecked(static_cast<int>(kFormatRadioIds[i]));
    ApplyFormatSelection(GetJob(), selected);
    PostButtons();
    return CPropertyPage::OnSetActive();
}

bool CFormatPage::OnCommand(UINT id, UINT code)
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

COutputFolderPage::COutputFolderPage() : CPathPage(IDD_OUTPUT_FOLDER_PAGE, IDC_OUTPUT_DIR, IDC_OUTPUT_BROWSE) {}

BOOL COutputFolderPage::OnInitDialog()
{
    BOOL result = CPropertyPage::OnInitDialog();
    m_editOutputDir = GetDlgItem(IDC_OUTPUT_DIR);
    return result;
}

BOOL COutputFolderPage::OnSetActive()
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

void COutputFolderPage::OnBrowse()
{
    CString start = WindowText(m_editOutputDir);
    CString folder;
    if (GetWizardShell().BrowseForFolder(GetSafeHwnd(), "エスポート先のフォルダを選択してください。", start, folder))
        WriteWindowText(m_editOutputDir, folder);
}

LRESULT COutputFolderPage::OnWizardNext()
{
    CString folder;
    if (!ReadPath(&folder))
        return -1;
    switch (CheckOutputFolder(GetJob().m_strStoreDir, folder)) {
    case TargetProblem::kNotFolder:
        AfxMessageBox("設定したフォルダはファイルです。", kMbOk);   // an OK box: the answer is OK
        return -1;
    case TargetProblem::kInsideStore:
        AfxMessageBox(kOutputInsideStoreMessage, kMbOk);   // an OK box: the answer is OK
        return -1;
    default:
        break;
    }
    GetJob().m_strOutputDir = folder;
    return CPropertyPage::OnWizardNext();
}

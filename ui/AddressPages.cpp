// The address book file page and the summary page.
#include <shlobj.h>

#include "app/Conversion.h"
#include "app/MailConvApp.h"
#include "framework/Ui.h"
#include "framework/win32/WindowText.h"
#include "res/resource.h"
#include "ui/WizardPages.h"
#include "ui/WizardRules.h"
#include "ui/WizardShell.h"

// ---- Address book file ---------------------------------------------------------

CAddressBookPage::CAddressBookPage() : CPathPage(IDD_ADDRESS_BOOK_PAGE, IDC_CSV_PATH, IDC_CSV_BROWSE) {}

BOOL CAddressBookPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();   // the page gives its own answer
    m_editFileName = GetDlgItem(IDC_CSV_PATH);
    bool found = GetWizardShell().GetSpecialFolderPath(GetSheetHwnd(), CSIDL_PERSONAL, m_strDefaultFolder) != 0;
    m_strFileName = DefaultCsvPath(found, m_strDefaultFolder);
    WriteWindowText(m_editFileName, m_strFileName);
    return TRUE;
}

BOOL CAddressBookPage::OnSetActive()
{
    UpdateButtons();
    return CPropertyPage::OnSetActive();
}

void CAddressBookPage::OnBrowse()
{
    CString path;
    // Owned by the sheet so the wizard cannot move on under the open dialog.
    if (GetWizardShell().OpenFileDialog(GetSheetHwnd(), "csv", m_strFileName, kAddressBookFilter,
                                        "アドレスブック出力CSVファイル", m_nFilterIndex, path)) {
        m_strFileName = path;
        // The type chosen speaks for the name the dialog gave.
        m_strVCardPicked = m_nFilterIndex == kVCardFilterIndex ? path : CString();
        WriteWindowText(m_editFileName, m_strFileName);
    }
}

LRESULT CAddressBookPage::OnWizardNext()
{
    CString path;
    if (!ReadPath(&path))
        return -1;
    switch (CheckCsvPath(GetJob().m_strStoreDir, path)) {
    case TargetProblem::kFolder:
        AfxMessageBox("設定したファイルはフォルダです。", kMbOk);   // an OK box: the answer is OK
        return -1;
    case TargetProblem::kInsideStore:
        AfxMessageBox(kCsvInsideStoreMessage, kMbOk);   // an OK box: the answer is OK
        return -1;
    default:
        break;
    }
    if (PathExists(path) &&
        AfxMessageBox("同名のファイルが存在します。上書きしますか？", kMbYesNo | kMbDefButton2) != kIdYes)
        return -1;
    GetJob().m_strAddressCsvPath = path;
    GetJob().m_bAddressVCard = IsVCardChoice(path, m_strVCardPicked);
    return CPropertyPage::OnWizardNext();
}

// ---- Summary -------------------------------------------------------------------

CSummaryPage::CSummaryPage() : CPropertyPage(IDD_SUMMARY_PAGE) {}

BOOL CSummaryPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();   // the page gives its own answer
    m_editCsvPath = GetDlgItem(IDC_SUMMARY_CSV);
    m_editOutputDir = GetDlgItem(IDC_SUMMARY_OUTPUT);
    m_editFormat = GetDlgItem(IDC_SUMMARY_FORMAT);
    m_editTrays = GetDlgItem(IDC_SUMMARY_TRAYS);
    WriteWindowText(m_editTrays, "");
    return FALSE;
}

BOOL CSummaryPage::OnSetActive()
{
    SetWizardButtons(kWizBack | kWizFinish);
    const CMailConvApp& job = GetJob();
    WriteWindowText(m_editTrays, SummaryTrayText(job.m_arrSelectedTrays));
    if (const char* name = FormatDisplayName(job.m_nFormat))
        WriteWindowText(m_editFormat, name);
    WriteWindowText(m_editOutputDir, job.m_strOutputDir);
    WriteWindowText(m_editCsvPath, job.m_strAddressCsvPath);
    return CPropertyPage::OnSetActive();
}

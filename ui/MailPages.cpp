// The introduction, tray, format and output-folder pages.
#include <string>

#include "framework/Ui.h"
#include "framework/win32/WindowText.h"
#include "res/resource.h"
#include "store/Job.h"
#include "store/TrayList.h"
#include "ui/WizardPages.h"
#include "ui/WizardRules.h"
#include "ui/WizardShell.h"

namespace {

// Text of a list view row's first column, however long.
CString ListItemText(HWND list, int row)
{
    std::string buffer(256, '\0');
    for (;;) {
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        int got = static_cast<int>(::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                                  reinterpret_cast<LPARAM>(&item)));
        if (got < static_cast<int>(buffer.size()) - 1 || buffer.size() >= (1u << 20)) {
            if (got < 0)
                got = 0;
            if (got > static_cast<int>(buffer.size()) - 1)
                got = static_cast<int>(buffer.size()) - 1;
            return CString(buffer.data(), got);
        }
        buffer.assign(buffer.size() * 2, '\0');
    }
}

}  // namespace

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

    char heading[] = "メールトレイ";
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = 320;
    column.pszText = heading;
    ::SendMessageA(m_ctlTrayList, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    ::SendMessageA(m_ctlTrayList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);

    CMailConvJob& job = GetJob();
    job.m_arrSelectedTrays.RemoveAll();

    CStringArray trays;
    ReadTraySequence(job.m_strStoreDir, trays);
    for (int row = 0; row < trays.GetSize(); ++row) {
        CString text = trays[row];
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>(text.GetString());
        ::SendMessageA(m_ctlTrayList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    return TRUE;
}

void CWizardPage02::UpdateButtons()
{
    bool selected = ::SendMessageA(m_ctlTrayList, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
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
    CMailConvJob& job = GetJob();
    int row = -1;
    while ((row = static_cast<int>(::SendMessageA(m_ctlTrayList, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                                  LVNI_SELECTED))) >= 0)
        job.m_arrSelectedTrays.Add(ListItemText(m_ctlTrayList, row));
    return CPropertyPage::OnWizardNext();
}

// ---- Format --------------------------------------------------------------------

CWizardPage03::CWizardPage03() : CPropertyPage(IDD_WIZARD_PAGE03) {}

BOOL CWizardPage03::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    CMailConvJob& job = GetJob();
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
    CMailConvJob& job = GetJob();
    if (job.m_bResetOutputDir) {
        CString folder = DefaultOutputFolder(job);
        ::SetWindowTextA(m_editOutputDir, folder);
        job.m_bResetOutputDir = 0;
    }
    UpdateButtons();
    return CPropertyPage::OnSetActive();
}

void CWizardPage04::OnBrowse()
{
    CString start = WindowText(m_editOutputDir);
    CString folder;
    if (GetWizardShell().BrowseForFolder(GetSafeHwnd(), "エスポート先のフォルダを選択してください。", start, folder))
        ::SetWindowTextA(m_editOutputDir, folder);
}

LRESULT CWizardPage04::OnWizardNext()
{
    CString folder = TrimTrailingSeparators(WindowText(m_editOutputDir));
    if (PathIsExistingFile(folder)) {
        AfxMessageBox("設定したフォルダはファイルです。", kMbOk);
        return -1;
    }
    GetJob().m_strOutputDir = folder;
    return CPropertyPage::OnWizardNext();
}

// The wizard's six pages. Each writes its choice into the conversion job as
// the user leaves it with Next; button states are posted to the sheet.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/CString.h"
#include "framework/win32/PropertySheet.h"

// Introduction.
class CIntroPage : public CPropertyPage {
public:
    CIntroPage();
    BOOL OnSetActive() override;
};

// Tray choice.
class CTrayPage : public CPropertyPage {
public:
    CTrayPage();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    bool OnNotify(UINT id, NMHDR* header, LRESULT* result) override;

    HWND m_ctlTrayList = nullptr;   // list view IDC_TRAY_LIST

private:
    void UpdateButtons();
    // The names of the rows, as read: a name is taken from here, not from
    // the control, so it keeps its exact bytes.
    CStringArray m_arrTrays;
};

// Format choice.
class CFormatPage : public CPropertyPage {
public:
    CFormatPage();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    bool OnCommand(UINT id, UINT code) override;

private:
    void PostButtons();
};

// A page whose path box has a Browse button beside it: Next is enabled
// while the box is not empty.
class CPathPage : public CPropertyPage {
public:
    bool OnCommand(UINT id, UINT code) override;

protected:
    CPathPage(UINT templateId, UINT editId, UINT browseId)
        : CPropertyPage(templateId), m_nEditId(editId), m_nBrowseId(browseId) {}
    // Back and Next, Next only with text in the path box.
    void UpdateButtons();
    // The path box's text without trailing "". False, after a message, when
    // it has characters Shift_JIS cannot write.
    bool ReadPath(CString* path) const;
    virtual HWND PathEdit() const = 0;
    virtual void OnBrowse() = 0;

private:
    UINT m_nEditId;
    UINT m_nBrowseId;
};

// Output folder.
class COutputFolderPage : public CPathPage {
public:
    COutputFolderPage();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

    HWND m_editOutputDir = nullptr;   // edit IDC_OUTPUT_DIR

private:
    HWND PathEdit() const override { return m_editOutputDir; }
    void OnBrowse() override;
};

// Address book file.
class CAddressBookPage : public CPathPage {
public:
    CAddressBookPage();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

    HWND m_editFileName = nullptr;   // edit IDC_CSV_PATH
    CString m_strDefaultFolder;      // the documents folder, when found
    CString m_strFileName;           // the proposed path; the file dialog starts here
    int m_nFilterIndex = 1;          // the file type the dialog chose last (1 CSV)
    CString m_strVCardPicked;        // the path the dialog gave with the vCard type

private:
    HWND PathEdit() const override { return m_editFileName; }
    void OnBrowse() override;
};

// Summary.
class CSummaryPage : public CPropertyPage {
public:
    CSummaryPage();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;

    HWND m_editCsvPath = nullptr;     // IDC_SUMMARY_CSV
    HWND m_editOutputDir = nullptr;   // IDC_SUMMARY_OUTPUT
    HWND m_editFormat = nullptr;      // IDC_SUMMARY_FORMAT
    HWND m_editTrays = nullptr;       // IDC_SUMMARY_TRAYS
};

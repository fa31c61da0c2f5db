// The wizard's six pages. Each writes its choice into the conversion job as
// the user leaves it with Next; button states are posted to the sheet.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/CString.h"
#include "framework/win32/PropertySheet.h"

// Introduction.
class CWizardPage01 : public CPropertyPage {
public:
    CWizardPage01();
    BOOL OnSetActive() override;
};

// Tray choice.
class CWizardPage02 : public CPropertyPage {
public:
    CWizardPage02();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    bool OnNotify(UINT id, NMHDR* header, LRESULT* result) override;

    HWND m_ctlTrayList = nullptr;   // list view 1000

private:
    void UpdateButtons();
    // The names of the rows, as read: a name is taken from here, not from
    // the control, so it keeps its exact bytes.
    CStringArray m_arrTrays;
};

// Format choice.
class CWizardPage03 : public CPropertyPage {
public:
    CWizardPage03();
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
class CWizardPage04 : public CPathPage {
public:
    CWizardPage04();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

    HWND m_editOutputDir = nullptr;   // edit 1005

private:
    HWND PathEdit() const override { return m_editOutputDir; }
    void OnBrowse() override;
};

// Summary.
class CWizardPage05 : public CPropertyPage {
public:
    CWizardPage05();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;

    HWND m_editCsvPath = nullptr;     // 1012
    HWND m_editOutputDir = nullptr;   // 1011
    HWND m_editFormat = nullptr;      // 1010
    HWND m_editTrays = nullptr;       // 1009
};

// Address book file.
class CWizardPage06 : public CPathPage {
public:
    CWizardPage06();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

    HWND m_editFileName = nullptr;   // edit 1012
    CString m_strDefaultFolder;      // the documents folder, when found
    CString m_strFileName;           // the proposed path; the file dialog starts here

private:
    HWND PathEdit() const override { return m_editFileName; }
    void OnBrowse() override;
};

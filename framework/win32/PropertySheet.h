// CPropertySheet and CPropertyPage: a property sheet in wizard mode over
// comctl32 (PropertySheetW). The sheet's and the pages' window procedures keep
// `this` in the window and dispatch initialisation, activation, Next, Back,
// Finish and control notifications to virtual members. Nothing thrown by a
// member ever leaves a window procedure: the sheet keeps the first exception,
// cancels itself, and DoModal (or Create) rethrows it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <string>
#include <vector>

#include "framework/CString.h"
#include "framework/Types.h"

class CPropertySheet;

// The wizard buttons of a sheet (comctl32's control ids in the sheet window).
constexpr int kIdSheetBack = 0x3023;
constexpr int kIdSheetNext = 0x3024;
constexpr int kIdSheetFinish = 0x3025;

class CPropertyPage {
public:
    // templateId: the page's dialog template in the executable's resources.
    explicit CPropertyPage(UINT templateId);
    virtual ~CPropertyPage() = default;
    CPropertyPage(const CPropertyPage&) = delete;
    CPropertyPage& operator=(const CPropertyPage&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    UINT GetTemplateId() const { return m_nTemplate; }
    // The sheet window that holds the page (null before the page exists).
    HWND GetSheetHwnd() const;
    HWND GetDlgItem(int id) const;
    CString GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const char* text);
    bool IsDlgButtonChecked(int id) const;

    // Posts PSM_SETWIZBUTTONS (PSWIZB_* flags) to the sheet.
    void SetWizardButtons(DWORD flags);

    // Handlers. The defaults are the base behaviour: activation and Finish
    // accepted, Next and Back move on (0); -1 from Next or Back stays.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual BOOL OnSetActive() { return TRUE; }
    virtual BOOL OnKillActive() { return TRUE; }
    virtual LRESULT OnWizardNext() { return 0; }
    virtual LRESULT OnWizardBack() { return 0; }
    virtual BOOL OnWizardFinish() { return TRUE; }
    // A WM_COMMAND from control id with notification code; true when handled.
    virtual bool OnCommand(UINT /*id*/, UINT /*code*/) { return false; }
    // A WM_NOTIFY from a control (not from the sheet); true when handled, with
    // the notification's result in *result.
    virtual bool OnNotify(UINT /*id*/, NMHDR* /*header*/, LRESULT* /*result*/) { return false; }

private:
    friend class CPropertySheet;
    template <class T>
    friend INT_PTR RouteDialogMessage(T* object, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleSheetNotify(NMHDR* header);
    // Hands what a handler threw to the sheet.
    void KeepFailure(std::exception_ptr failure);
    void EnsureFocus();

    UINT m_nTemplate;
    HWND m_hWnd = nullptr;
    CPropertySheet* m_pSheet = nullptr;
};

class CPropertySheet {
public:
    // caption: the sheet's title (wizards show the page captions instead);
    // parent: owner window or null; startPage: index of the first page shown.
    CPropertySheet(const char* caption, HWND parent = nullptr, UINT startPage = 0);
    virtual ~CPropertySheet();
    CPropertySheet(const CPropertySheet&) = delete;
    CPropertySheet& operator=(const CPropertySheet&) = delete;

    // Adds a page (not owned; it must outlive the sheet's window).
    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    // Switches the header to wizard mode (PSH_WIZARD).
    void SetWizardMode() { m_psh.dwFlags |= PSH_WIZARD; }

    // Runs the sheet modally: kIdWizFinish (ID_WIZFINISH) when a wizard ended with
    // Finish, IDCANCEL otherwise, -1 when the sheet could not be created. What
    // the sheet or a page threw cancels the sheet and is rethrown from here.
    INT_PTR DoModal();
    // Creates the sheet modeless (for tests); null on failure. The caller
    // pumps messages and calls DestroyWindow when IsDone(). What was thrown
    // while the sheet was made destroys it and is rethrown from here.
    HWND Create();
    // Rethrows, once, what the sheet or a page of a modeless sheet threw.
    void RethrowFailure();
    // Modeless sheets: true once Finish or Cancel ended the sheet.
    bool IsDone() const;
    // Destroys a modeless sheet's window.
    void DestroyWindow();
    // The result so far: ID_WIZFINISH after a Finish, else IDCANCEL.
    INT_PTR GetResult() const { return m_nResult; }

    HWND GetSafeHwnd() const { return m_hWnd; }
    // Index of the current page, or -1.
    int GetActiveIndex() const;
    CPropertyPage* GetActivePage() const;

    // Runs once the sheet window exists (before any page is initialised).
    virtual BOOL OnInitDialog() { return TRUE; }

    // The sheet header, as the framework exposes it.
    PROPSHEETHEADERW m_psh;

private:
    friend class CPropertyPage;
    bool BuildHeader(bool modeless);
    static int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM lParam);
    // Keeps the first exception and presses Cancel of the sheet window sheet
    // (posted: the sheet ends when its loop takes the message).
    void KeepFailure(std::exception_ptr failure, HWND sheet);

    std::wstring m_strCaption;
    std::vector<CPropertyPage*> m_pages;
    std::vector<PROPSHEETPAGEW> m_pageData;
    HWND m_hWnd = nullptr;
    INT_PTR m_nResult = IDCANCEL;
    std::exception_ptr m_failure;
};

// CWizardDialog: the wizard sheet with its six pages, shown in the order
// introduction, trays, format, output folder, address book file, summary.
#pragma once

#include <windows.h>

#include "framework/win32/PropertySheet.h"
#include "ui/WizardPages.h"

class CWizardDialog : public CPropertySheet {
public:
    CWizardDialog(const char* caption, HWND parent = nullptr, UINT startPage = 0);

    BOOL OnInitDialog() override;

    HICON m_hIcon = nullptr;
    CIntroPage m_introPage;
    CTrayPage m_trayPage;
    CFormatPage m_formatPage;
    COutputFolderPage m_outputFolderPage;
    CAddressBookPage m_addressBookPage;
    CSummaryPage m_summaryPage;
};

// Runs the wizard as the program does: empty caption, no parent, first page
// 0, wizard mode, modal. Answers its result (kIdWizFinish on Finish).
int RunWizardSheet();

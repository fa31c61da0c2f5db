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
    CWizardPage01 m_page01;
    CWizardPage02 m_page02;
    CWizardPage03 m_page03;
    CWizardPage04 m_page04;
    CWizardPage05 m_page05;
    CWizardPage06 m_page06;
};

// Runs the wizard as the program does: empty caption, no parent, first page
// 0, wizard mode, modal. Answers its result (kIdWizFinish on Finish).
int RunWizardSheet();

// CResultDialog: the one result message at the end of a run (template 137).
#pragma once

#include "framework/CString.h"
#include "framework/win32/Dialog.h"
#include "res/resource.h"

class CResultDialog : public CDialog {
public:
    enum { IDD = IDD_RESULT };

    explicit CResultDialog(HWND hParent = nullptr);

    HWND m_ctlMessage = nullptr;   // control 1011, bound on initialisation
    CString m_strMessage;

protected:
    // Shows m_strMessage in control 1011.
    BOOL OnInitDialog() override;
};

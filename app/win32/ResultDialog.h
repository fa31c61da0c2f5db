// CResultDialog: the one result message at the end of a run (IDD_RESULT).
#pragma once

#include "framework/CString.h"
#include "framework/win32/Dialog.h"
#include "res/resource.h"

class CResultDialog : public CDialog {
public:
    enum { IDD = IDD_RESULT };

    explicit CResultDialog(HWND hParent = nullptr);

    CString m_strMessage;

protected:
    // Shows m_strMessage in IDC_RESULT_TEXT.
    BOOL OnInitDialog() override;
};

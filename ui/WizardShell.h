// The modal shell dialogs that the wizard pages open: the folder browser, the
// file dialog and the special-folder lookup. The program uses the real ones;
// the Windows-side tests install a replacement that answers without a window.
// Message boxes go through AfxMessageBox (framework/Ui.h), which tests hook
// with SetMessageBoxHandler.
#pragma once

#include <windows.h>

#include "framework/CString.h"

class CWizardShell {
public:
    virtual ~CWizardShell() = default;

    // Opens the folder browser owned by owner, titled title, showing
    // file-system folders only and starting at the folder named start. True
    // with the picked folder's path in folder; false (folder untouched) on
    // Cancel or when no path could be obtained.
    virtual bool BrowseForFolder(HWND owner, const CString& title, const CString& start, CString& folder) = 0;

    // Opens the file dialog in its open form: default extension defExt, initial
    // file name initial, filter in "text|pattern|...||" form, title title. A
    // name that does not exist yet is accepted. It opens with the file type
    // filterIndex (from 1) chosen. True with the full path in path and the
    // type chosen in filterIndex when the user pressed OK; false (both
    // untouched) otherwise.
    virtual bool OpenFileDialog(HWND owner, const CString& defExt, const CString& initial, const CString& filter,
                                const CString& title, int& filterIndex, CString& path) = 0;

    // The file-system path of the shell folder csidl, without a trailing "\"
    // (a drive root comes back as "C:"). 1 with path set, or 0 with path untouched.
    virtual int GetSpecialFolderPath(HWND owner, int csidl, CString& path) = 0;
};

// The shell services in use (the real ones unless a test installed others).
CWizardShell& GetWizardShell();
// Installs shell (not owned); null restores the real services.
void SetWizardShell(CWizardShell* shell);

// The real services, also callable directly.
int GetSpecialFolderPath(HWND owner, int csidl, CString& path);

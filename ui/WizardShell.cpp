#include "ui/WizardShell.h"

#include "framework/Ui.h"
#include "framework/win32/ShellDialogs.h"
#include "ui/WizardRules.h"

int GetSpecialFolderPath(HWND owner, int csidl, CString& path)
{
    return shell::GetSpecialFolderPath(owner, csidl, &path) ? 1 : 0;
}

namespace {

// A picked path that Shift_JIS cannot write is said, and counts as not
// picked, so the user can choose another.
bool Accept(shell::Pick pick, const CString& picked, CString& path)
{
    if (pick == shell::Pick::kNoSjisForm)
        AfxMessageBox(PathWithoutSjisFormMessage(picked), kMbOk | kMbIconExclamation);   // an OK box
    if (pick != shell::Pick::kPicked)
        return false;
    path = picked;
    return true;
}

class CRealWizardShell : public CWizardShell {
public:
    bool BrowseForFolder(HWND owner, const CString& title, const CString& start, CString& folder) override
    {
        CString picked;
        return Accept(shell::BrowseForFolder(owner, title, start, &picked), picked, folder);
    }

    bool OpenFileDialog(HWND owner, const CString& defExt, const CString& initial, const CString& filter,
                        const CString& title, int& filterIndex, CString& path) override
    {
        CString picked;
        int index = filterIndex;
        if (!Accept(shell::OpenFileDialog(owner, defExt, initial, filter, title, &index, &picked), picked, path))
            return false;
        filterIndex = index;
        return true;
    }

    int GetSpecialFolderPath(HWND owner, int csidl, CString& path) override
    {
        return ::GetSpecialFolderPath(owner, csidl, path);
    }
};

CRealWizardShell g_realShell;
CWizardShell* g_shell = nullptr;

}  // namespace

CWizardShell& GetWizardShell()
{
    return g_shell ? *g_shell : g_realShell;
}

void SetWizardShell(CWizardShell* shell)
{
    g_shell = shell;
}

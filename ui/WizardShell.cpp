#include "ui/WizardShell.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "framework/Sjis.h"

int GetSpecialFolderPath(HWND owner, int csidl, CString& path)
{
    IMalloc* allocator = nullptr;
    if (FAILED(::SHGetMalloc(&allocator)) || !allocator)
        return 0;
    LPITEMIDLIST items = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(owner, csidl, &items)) || !items) {
        allocator->Release();
        return 0;
    }
    char buffer[MAX_PATH] = {};
    BOOL converted = ::SHGetPathFromIDListA(items, buffer);
    allocator->Free(items);
    allocator->Release();
    if (!converted)
        return 0;
    buffer[MAX_PATH - 1] = '\0';
    // Some shells report a folder with a trailing "\"; callers append "\name".
    CString folder(buffer);
    SjisTrimRight(folder, '\\');
    path = folder;
    return 1;
}

namespace {

int CALLBACK BrowseCallback(HWND hwnd, UINT message, LPARAM /*lParam*/, LPARAM data)
{
    if (message == BFFM_INITIALIZED)
        ::SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

class CRealWizardShell : public CWizardShell {
public:
    bool BrowseForFolder(HWND owner, const CString& title, const CString& start, CString& folder) override
    {
        IMalloc* allocator = nullptr;
        if (FAILED(::SHGetMalloc(&allocator)) || !allocator)
            return false;
        BROWSEINFOA info = {};
        info.hwndOwner = owner;
        info.pidlRoot = nullptr;
        info.pszDisplayName = nullptr;
        info.lpszTitle = title.GetString();
        info.ulFlags = BIF_RETURNONLYFSDIRS;
        info.lpfn = &BrowseCallback;
        info.lParam = reinterpret_cast<LPARAM>(start.GetString());
        bool picked = false;
        LPITEMIDLIST items = ::SHBrowseForFolderA(&info);
        if (items) {
            char buffer[MAX_PATH] = {};
            if (::SHGetPathFromIDListA(items, buffer)) {
                buffer[MAX_PATH - 1] = '\0';
                folder = buffer;
                picked = true;
            }
            allocator->Free(items);
        }
        allocator->Release();
        return picked;
    }

    bool OpenFileDialog(HWND owner, const CString& defExt, const CString& initial, const CString& filter,
                        const CString& title, CString& path) override
    {
        // "text|pattern|...||" becomes the zero-separated list the dialog takes;
        // "|" is looked for character by character in Shift_JIS.
        std::string filters = filter.Str();
        for (int i = SjisFind(filter, '|'); i >= 0; i = SjisFind(filter, '|', i + 1))
            filters[static_cast<size_t>(i)] = '\0';
        filters.push_back('\0');

        char fileName[MAX_PATH] = {};
        int length = SjisClampLength(initial, MAX_PATH - 1);
        std::memcpy(fileName, initial.GetString(), static_cast<size_t>(length));

        OPENFILENAMEA ofn = {};
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = filters.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = fileName;
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrTitle = title.GetString();
        ofn.lpstrDefExt = defExt.GetString();
        ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
        if (!::GetOpenFileNameA(&ofn))
            return false;
        fileName[MAX_PATH - 1] = '\0';
        path = fileName;
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

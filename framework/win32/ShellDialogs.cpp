#include "framework/win32/ShellDialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

#include "framework/Sjis.h"
#include "framework/win32/WideText.h"

namespace shell {

namespace {

// A path buffer: the shell's functions here write at most MAX_PATH
// characters; the file dialog gets room for long paths.
constexpr DWORD kFileDialogChars = 32768;

// The path an item list names; empty when it has none.
std::wstring PathOf(LPCITEMIDLIST items)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!::SHGetPathFromIDListW(items, buffer))
        return std::wstring();
    buffer[MAX_PATH] = L'\0';
    return buffer;
}

Pick Converted(const std::wstring& path, CString* out)
{
    if (path.empty())
        return Pick::kCancelled;
    return wide::ToSjis(path.data(), path.size(), out) ? Pick::kPicked : Pick::kNoSjisForm;
}

int CALLBACK BrowseCallback(HWND hwnd, UINT message, LPARAM /*lParam*/, LPARAM data)
{
    if (message == BFFM_INITIALIZED)
        ::SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);   // a start folder that is not there selects none
    return 0;
}

}  // namespace

Pick BrowseForFolder(HWND owner, const char* title, const char* start, CString* folder)
{
    IMalloc* allocator = nullptr;
    if (FAILED(::SHGetMalloc(&allocator)) || !allocator)
        return Pick::kCancelled;
    const std::wstring wideTitle = wide::FromSjis(title);
    const std::wstring wideStart = wide::FromSjis(start);
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = nullptr;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(wideStart.c_str());
    Pick pick = Pick::kCancelled;
    LPITEMIDLIST items = ::SHBrowseForFolderW(&info);
    if (items) {
        pick = Converted(PathOf(items), folder);
        allocator->Free(items);
    }
    allocator->Release();   // the count left is the shell's
    return pick;
}

Pick OpenFileDialog(HWND owner, const char* defExt, const CString& initial, const CString& filter, const char* title,
                    int* filterIndex, CString* path)
{
    // "text|pattern|...||" becomes the zero-separated list the dialog takes.
    std::string filters = filter.Str();
    for (int i = SjisFind(filter, '|'); i >= 0; i = SjisFind(filter, '|', i + 1))
        filters[static_cast<std::size_t>(i)] = '\0';
    filters.push_back('\0');
    const std::wstring wideFilters = wide::FromSjis(filters.data(), filters.size());

    std::wstring fileName = wide::FromSjis(initial);
    if (fileName.size() >= kFileDialogChars)
        fileName.clear();
    fileName.resize(kFileDialogChars, L'\0');
    const std::wstring wideTitle = wide::FromSjis(title);
    const std::wstring wideExt = wide::FromSjis(defExt);

    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = wideFilters.c_str();
    ofn.nFilterIndex = filterIndex && *filterIndex > 0 ? static_cast<DWORD>(*filterIndex) : 1;
    ofn.lpstrFile = fileName.data();
    ofn.nMaxFile = kFileDialogChars;
    ofn.lpstrTitle = wideTitle.c_str();
    ofn.lpstrDefExt = wideExt.c_str();
    ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!::GetOpenFileNameW(&ofn))
        return Pick::kCancelled;
    if (filterIndex)
        *filterIndex = static_cast<int>(ofn.nFilterIndex);
    fileName.back() = L'\0';
    fileName.resize(std::wcslen(fileName.c_str()));
    return Converted(fileName, path);
}

bool GetSpecialFolderPath(HWND owner, int csidl, CString* path)
{
    IMalloc* allocator = nullptr;
    if (FAILED(::SHGetMalloc(&allocator)) || !allocator)
        return false;
    LPITEMIDLIST items = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(owner, csidl, &items)) || !items) {
        allocator->Release();   // the count left is the shell's
        return false;
    }
    const std::wstring found = PathOf(items);
    allocator->Free(items);
    allocator->Release();   // the count left is the shell's
    CString folder;
    if (Converted(found, &folder) != Pick::kPicked)
        return false;
    // Some shells report a folder with a trailing "\"; callers append "\name".
    SjisTrimRight(folder, '\\');
    *path = folder;
    return true;
}

}  // namespace shell

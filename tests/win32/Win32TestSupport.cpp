#include "tests/win32/Win32TestSupport.h"

#include <windows.h>

#include <cwchar>

#include "framework/Sjis.h"
#include "framework/win32/WideText.h"

CString TempFolder()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, path);
    if (n == 0 || n > MAX_PATH)
        return CString();
    CString folder = wide::ToSjis(path, n);
    if (!SjisEndsWith(folder, '\\'))
        folder += '\\';
    return folder;
}

bool ListFolder(const char* path, CStringArray* names)
{
    CString pattern(path ? path : "");
    pattern += "\\*";
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(wide::FilePath(pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;   // an empty folder still has "." and ".."
    names->RemoveAll();
    do {
        if (std::wcscmp(data.cFileName, L".") != 0 && std::wcscmp(data.cFileName, L"..") != 0)
            names->Add(wide::ToSjisZ(data.cFileName));
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return true;
}

// The platform services over the real Windows APIs. Paths and texts are
// Shift_JIS, which is the ANSI code page (932) the program runs under, so the
// "A" entry points take them as they are.
#include "framework/Platform.h"
#include "framework/Sjis.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>

// <windows.h> maps these names onto its own A/W functions.
#undef DeleteFile
#undef CreateDirectory

namespace platform {

namespace {

HANDLE ToHandle(FileHandle file)
{
    return reinterpret_cast<HANDLE>(file);
}

HKEY ToHkey(RegistryRoot root)
{
    return root == kHkeyLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Largest piece handed to one ReadFile/WriteFile call.
constexpr UINT kMaxChunk = 1u << 30;

// FILETIME counts 100-nanosecond ticks since 1601-01-01 00:00 UTC.
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr std::int64_t kTicksPerSecond = 10000000;

}  // namespace

// ---- Files ---------------------------------------------------------------

FileHandle OpenFile(const char* path, unsigned flags, DWORD* error)
{
    DWORD access = 0;
    switch (flags & kOpenReadWrite) {
    case kOpenRead: access = GENERIC_READ; break;
    case kOpenWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD disposition = OPEN_EXISTING;
    if (flags & kOpenCreate)
        disposition = (flags & kOpenNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    HANDLE h = ::CreateFileA(path ? path : "", access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error)
            *error = ::GetLastError();
        return kInvalidFile;
    }
    return reinterpret_cast<FileHandle>(h);
}

bool ReadFile(FileHandle file, void* buffer, UINT count, UINT* done)
{
    *done = 0;
    char* p = static_cast<char*>(buffer);
    while (*done < count) {
        DWORD want = count - *done;
        if (want > kMaxChunk)
            want = kMaxChunk;
        DWORD got = 0;
        if (!::ReadFile(ToHandle(file), p + *done, want, &got, nullptr))
            return false;
        if (got == 0)
            break;
        *done += got;
    }
    return true;
}

bool WriteFile(FileHandle file, const void* buffer, UINT count)
{
    const char* p = static_cast<const char*>(buffer);
    UINT written = 0;
    while (written < count) {
        DWORD want = count - written;
        if (want > kMaxChunk)
            want = kMaxChunk;
        DWORD put = 0;
        if (!::WriteFile(ToHandle(file), p + written, want, &put, nullptr) || put == 0)
            return false;
        written += put;
    }
    return true;
}

bool SeekFile(FileHandle file, std::int64_t offset, int origin, std::uint64_t* position)
{
    DWORD method = origin == 0 ? FILE_BEGIN : (origin == 1 ? FILE_CURRENT : FILE_END);
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER now;
    if (!::SetFilePointerEx(ToHandle(file), distance, &now, method))
        return false;
    if (position)
        *position = static_cast<std::uint64_t>(now.QuadPart);
    return true;
}

bool GetFileSize(FileHandle file, std::uint64_t* size)
{
    LARGE_INTEGER n;
    if (!::GetFileSizeEx(ToHandle(file), &n))
        return false;
    *size = static_cast<std::uint64_t>(n.QuadPart);
    return true;
}

void CloseFile(FileHandle file)
{
    ::CloseHandle(ToHandle(file));
}

bool SetFileModifiedTime(FileHandle file, std::int64_t seconds)
{
    if (seconds < -kSecondsFrom1601To1970 || seconds > INT64_MAX / kTicksPerSecond - kSecondsFrom1601To1970)
        return false;
    const std::uint64_t ticks = static_cast<std::uint64_t>(seconds + kSecondsFrom1601To1970) * kTicksPerSecond;
    FILETIME written;
    written.dwLowDateTime = static_cast<DWORD>(ticks);
    written.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ::SetFileTime(ToHandle(file), nullptr, nullptr, &written) != 0;
}

bool GetFileStatus(const char* path, FileStatus* status)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path || !::GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status->size = folder ? 0 : (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    status->attribute = static_cast<BYTE>(data.dwFileAttributes & 0xFF);
    return true;
}

namespace {

// The full, long form of path; empty when it cannot be made.
std::string FullLongPath(const char* path)
{
    char full[MAX_PATH * 4];
    DWORD n = ::GetFullPathNameA(path, sizeof(full), full, nullptr);
    if (n == 0 || n >= sizeof(full))
        return std::string();
    char longer[MAX_PATH * 4];
    DWORD m = ::GetLongPathNameA(full, longer, sizeof(longer));
    return (m > 0 && m < sizeof(longer)) ? std::string(longer, m) : std::string(full, n);
}

bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info)
{
    HANDLE h = ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = ::GetFileInformationByHandle(h, info) != 0;
    ::CloseHandle(h);
    return ok;
}

}  // namespace

bool IsSameFile(const char* a, const char* b)
{
    if (!a || !b)
        return false;
    const std::string fullA = FullLongPath(a), fullB = FullLongPath(b);
    if (!fullA.empty() && SjisEqualNoCase(CString(fullA.c_str()), CString(fullB.c_str())))
        return true;
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return FileIdentity(a, &ia) && FileIdentity(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool DeleteFile(const char* path)
{
    return path && ::DeleteFileA(path) != 0;
}

DWORD CreateDirectory(const char* path)
{
    if (::CreateDirectoryA(path ? path : "", nullptr))
        return 0;
    DWORD error = ::GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

bool ListDirectory(const char* path, CStringArray* names)
{
    CString pattern(path ? path : "");
    pattern += "\\*";
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty folder still has "." and ".."; a missing one is a failure.
        return false;
    }
    names->RemoveAll();
    do {
        if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0)
            continue;
        names->Add(CString(data.cFileName));
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return true;
}

// Code that includes <windows.h> before Platform.h reaches the two functions
// above through the macros' names.
bool DeleteFileA(const char* path)
{
    return DeleteFile(path);
}

DWORD CreateDirectoryA(const char* path)
{
    return CreateDirectory(path);
}

// ---- Registry --------------------------------------------------------------

bool ReadRegistryValue(RegistryRoot root, const char* key, const char* valueName,
                       char* buffer, DWORD size)
{
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(ToHkey(root), key ? key : "", 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    if (size > 0) {
        // RegQueryValueExA writes nothing when the value does not fit; read it
        // whole into a bigger buffer then and keep what fits, always leaving a
        // terminating zero.
        DWORD got = size;
        LONG r = ::RegQueryValueExA(opened, valueName ? valueName : "", nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(buffer), &got);
        if (r == ERROR_MORE_DATA) {
            // The buffer's contents are undefined after this answer.
            std::memset(buffer, 0, size);
        }
        if (r == ERROR_MORE_DATA && got > size && got < (1u << 24)) {
            CString whole;
            DWORD length = got;
            char* p = whole.GetBuffer(static_cast<int>(length));
            r = ::RegQueryValueExA(opened, valueName ? valueName : "", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(p), &length);
            if (r == ERROR_SUCCESS && length <= got) {
                DWORD n = length < size - 1 ? length : size - 1;
                std::memcpy(buffer, p, n);
                buffer[n] = '\0';
            }
            whole.ReleaseBuffer(0);
        }
        buffer[size - 1] = '\0';
    }
    ::RegCloseKey(opened);
    return true;
}

// ---- Shell folders, system facts -------------------------------------------

bool GetAppDataFolder(char* buffer)
{
    using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    HMODULE library = ::LoadLibraryA("shfolder.dll");
    if (!library)
        return false;
    auto entry = reinterpret_cast<GetFolderPath>(
        reinterpret_cast<void*>(::GetProcAddress(library, "SHGetFolderPathA")));
    bool found = entry != nullptr;
    if (found)
        entry(nullptr, CSIDL_APPDATA, nullptr, 0, buffer);   // result not examined
    ::FreeLibrary(library);
    return found;
}

CString GetTempFolder()
{
    char path[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathA(sizeof path, path);
    if (n == 0 || n >= sizeof path)
        return CString();
    CString folder(path, static_cast<int>(n));
    if (folder.IsEmpty() || folder[folder.GetLength() - 1] != '\\')
        folder += '\\';
    return folder;
}

int GetPlatformId()
{
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;   // the ANSI record, 148 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info))
        return 0;
#pragma GCC diagnostic pop
    return static_cast<int>(info.dwPlatformId);
}

LocalTime GetLocalTime()
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    LocalTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.dayOfWeek = st.wDayOfWeek;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    return t;
}

bool LocalTimeToUtc(const LocalTime& local, std::int64_t* seconds)
{
    // SYSTEMTIME holds 1601..30827 and no leap second: convert the minute,
    // then add the seconds.
    if (local.year < 1601 || local.year > 30827 || local.month < 1 || local.month > 12 || local.day < 1 ||
        local.day > 31 || local.hour < 0 || local.hour > 23 || local.minute < 0 || local.minute > 59 ||
        local.second < 0 || local.second > 60)
        return false;
    SYSTEMTIME wall;
    std::memset(&wall, 0, sizeof wall);
    wall.wYear = static_cast<WORD>(local.year);
    wall.wMonth = static_cast<WORD>(local.month);
    wall.wDay = static_cast<WORD>(local.day);
    wall.wHour = static_cast<WORD>(local.hour);
    wall.wMinute = static_cast<WORD>(local.minute);
    SYSTEMTIME utc;
    FILETIME ticks;
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &wall, &utc) || !::SystemTimeToFileTime(&utc, &ticks))
        return false;
    const std::uint64_t n = (static_cast<std::uint64_t>(ticks.dwHighDateTime) << 32) | ticks.dwLowDateTime;
    *seconds = static_cast<std::int64_t>(n / kTicksPerSecond) - kSecondsFrom1601To1970 + local.second;
    return true;
}

CString WideToAnsi(const std::uint16_t* text, std::size_t length)
{
    if (!text || length == 0 || length > 0x3FFFFFFF)
        return CString();
    const auto* wide = reinterpret_cast<const wchar_t*>(text);
    const int inLength = static_cast<int>(length);
    int n = ::WideCharToMultiByte(CP_ACP, 0, wide, inLength, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return CString();
    CString out;
    char* p = out.GetBuffer(n);
    n = ::WideCharToMultiByte(CP_ACP, 0, wide, inLength, p, n, nullptr, nullptr);
    out.ReleaseBuffer(n > 0 ? n : 0);
    return out;
}

CString LoadResString(UINT id)
{
    char buffer[1024] = {};
    int n = ::LoadStringA(::GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    if (n <= 0)
        return CString();
    return CString(buffer, n);
}

}  // namespace platform

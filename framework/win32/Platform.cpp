// The platform services over the real Windows APIs. Paths and texts are
// Shift_JIS inside the program; they reach Windows as UTF-16 (code page 932,
// framework/win32/WideText.h) through the W entry points, whatever the
// system's code page.
#include "framework/Platform.h"
#include "framework/Sjis.h"
#include "framework/win32/WideText.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

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

FileHandle OpenFileHandle(const char* path, unsigned flags, DWORD* error)
{
    DWORD access = 0;
    switch (flags & kOpenReadWrite) {
    case kOpenRead: access = GENERIC_READ; break;
    case kOpenWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD disposition = OPEN_EXISTING;
    if (flags & kOpenCreate)
        disposition = (flags & kOpenCreateNew) ? CREATE_NEW : (flags & kOpenNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    HANDLE h = ::CreateFileW(wide::FilePath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (error)
            *error = code == ERROR_FILE_EXISTS ? kErrorAlreadyExists : code;
        return kInvalidFile;
    }
    return reinterpret_cast<FileHandle>(h);
}

bool ReadBytes(FileHandle file, void* buffer, UINT count, UINT* done)
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

bool WriteBytes(FileHandle file, const void* buffer, UINT count)
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

bool GetFileLength(FileHandle file, std::uint64_t* size)
{
    LARGE_INTEGER n;
    if (!::GetFileSizeEx(ToHandle(file), &n))
        return false;
    *size = static_cast<std::uint64_t>(n.QuadPart);
    return true;
}

void CloseFile(FileHandle file)
{
    ::CloseHandle(ToHandle(file));   // writes have reported their failures; the handle is gone either way
}

bool FlushFileToDisk(FileHandle file)
{
    return ::FlushFileBuffers(ToHandle(file)) != 0;
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
    if (!path || !::GetFileAttributesExW(wide::FilePath(path).c_str(), GetFileExInfoStandard, &data))
        return false;
    const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status->size = folder ? 0 : (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    status->attribute = static_cast<BYTE>(data.dwFileAttributes & 0xFF);
    return true;
}

namespace {

// The full, long form of path; empty when it cannot be made.
std::wstring FullLongPath(const char* path)
{
    const std::wstring given = wide::FilePath(path);
    DWORD n = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return std::wstring();
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(given.c_str(), n, full.data(), nullptr);
    if (n == 0 || n >= full.size())
        return std::wstring();
    full.resize(n);
    DWORD m = ::GetLongPathNameW(full.c_str(), nullptr, 0);
    if (m == 0)
        return full;
    std::wstring longer(m, L'\0');
    m = ::GetLongPathNameW(full.c_str(), longer.data(), m);
    if (m == 0 || m >= longer.size())
        return full;
    longer.resize(m);
    return longer;
}

// path without the "\\?\" or "\\?\UNC\" prefix of its long form.
std::wstring WithoutLongPrefix(std::wstring path)
{
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path.substr(4);
    return path;
}

// The full path with the part of it that exists in its long form (short
// names expanded), without a long-path prefix and without trailing "\".
std::wstring ResolvedFullPath(const char* path)
{
    std::wstring full = FullLongPath(path);
    // Expand the nearest existing ancestor when the path itself is missing.
    std::wstring rest;
    for (std::wstring head = full; !head.empty();) {
        const DWORD m = ::GetLongPathNameW(head.c_str(), nullptr, 0);
        if (m != 0) {
            std::wstring longer(m, L'\0');
            const DWORD n = ::GetLongPathNameW(head.c_str(), longer.data(), m);
            if (n != 0 && n < longer.size()) {
                longer.resize(n);
                full = longer + rest;
            }
            break;
        }
        const std::size_t cut = head.find_last_of(L'\\');
        if (cut == std::wstring::npos || cut == 0)
            break;
        rest = head.substr(cut) + rest;
        head.resize(cut);
    }
    full = WithoutLongPrefix(full);
    while (full.size() > 1 && full.back() == L'\\')
        full.pop_back();
    return full;
}

bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info)
{
    HANDLE h = ::CreateFileW(wide::FilePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = ::GetFileInformationByHandle(h, info) != 0;
    ::CloseHandle(h);   // opened for no access: nothing to lose
    return ok;
}

}  // namespace

bool IsSameFile(const char* a, const char* b)
{
    if (!a || !b)
        return false;
    const std::wstring fullA = FullLongPath(a), fullB = FullLongPath(b);
    if (!fullA.empty() && fullB.size() == fullA.size() &&
        ::CompareStringOrdinal(fullA.data(), static_cast<int>(fullA.size()), fullB.data(),
                               static_cast<int>(fullB.size()), TRUE) == CSTR_EQUAL)
        return true;
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return FileIdentity(a, &ia) && FileIdentity(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool IsInsideFolder(const char* path, const char* folder)
{
    if (!path || !folder)
        return false;
    const std::wstring p = ResolvedFullPath(path), f = ResolvedFullPath(folder);
    if (p.empty() || f.empty() || p.size() < f.size())
        return false;
    if (p.size() > f.size() && p[f.size()] != L'\\')
        return false;
    return ::CompareStringOrdinal(p.data(), static_cast<int>(f.size()), f.data(), static_cast<int>(f.size()), TRUE) ==
           CSTR_EQUAL;
}

bool RemoveFile(const char* path)
{
    return path && ::DeleteFileW(wide::FilePath(path).c_str()) != 0;
}

DWORD MoveFileTo(const char* from, const char* to, bool replace)
{
    if (::MoveFileExW(wide::FilePath(from).c_str(), wide::FilePath(to).c_str(),
                      replace ? MOVEFILE_REPLACE_EXISTING : 0))
        return 0;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_EXISTS)
        return kErrorAlreadyExists;
    return error ? error : ERROR_GEN_FAILURE;
}

DWORD MakeFolder(const char* path)
{
    if (::CreateDirectoryW(wide::FilePath(path).c_str(), nullptr))
        return 0;
    DWORD error = ::GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

// ---- Registry --------------------------------------------------------------

bool ReadRegistryValue(RegistryRoot root, const char* key, const char* valueName,
                       char* buffer, DWORD size)
{
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(ToHkey(root), wide::FromSjis(key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    if (size > 0) {
        // The value is read whole (its size asked first), then what fits is
        // kept, always with a terminating zero. Text values come back as
        // Shift_JIS (code page 932); other types as their bytes, as the ANSI
        // function gives them. An absent value leaves the buffer as it was.
        const std::wstring name = wide::FromSjis(valueName);
        DWORD type = 0;
        DWORD bytes = 0;
        LONG r = ::RegQueryValueExW(opened, name.c_str(), nullptr, &type, nullptr, &bytes);
        if (r == ERROR_SUCCESS && bytes < (1u << 24)) {
            std::string data(bytes + sizeof(wchar_t), '\0');
            DWORD got = bytes;
            r = ::RegQueryValueExW(opened, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
            if (r == ERROR_SUCCESS && got <= bytes) {
                CString value;
                if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
                    std::wstring text(got / sizeof(wchar_t), L'\0');
                    std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
                    text.resize(std::wcslen(text.c_str()));   // up to the first zero
                    value = wide::ToSjis(text);
                } else {
                    value = CString(data.data(), static_cast<int>(got));
                }
                std::memset(buffer, 0, size);
                const int n = SjisClampLength(value, static_cast<int>(size - 1));
                std::memcpy(buffer, value.GetString(), static_cast<std::size_t>(n));
            }
        }
        buffer[size - 1] = '\0';
    }
    ::RegCloseKey(opened);   // opened for reading: nothing to lose
    return true;
}

// ---- Shell folders, system facts -------------------------------------------

bool GetAppDataFolder(CString* folder)
{
    using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    HMODULE library = ::LoadLibraryW(L"shfolder.dll");
    if (!library)
        return false;
    auto entry = reinterpret_cast<GetFolderPath>(
        reinterpret_cast<void*>(::GetProcAddress(library, "SHGetFolderPathW")));
    bool found = entry != nullptr;
    if (found) {
        wchar_t path[MAX_PATH + 1] = {};
        entry(nullptr, CSIDL_APPDATA, nullptr, 0, path);   // result not examined
        path[MAX_PATH] = L'\0';
        // A user name that Shift_JIS cannot write (an "ü", say) still has a
        // short form made of plain letters: use that, so the store is found.
        if (!wide::ToSjis(path, std::wcslen(path), folder)) {
            wchar_t shorter[MAX_PATH + 1] = {};
            DWORD n = ::GetShortPathNameW(path, shorter, MAX_PATH);
            CString alternative;
            if (n > 0 && n < MAX_PATH && wide::ToSjis(shorter, n, &alternative))
                *folder = alternative;
        }
    }
    ::FreeLibrary(library);   // the lookup is done; a library that stays loaded does no harm
    return found;
}

int GetPlatformId()
{
    OSVERSIONINFOW info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&info))
        return 0;
#pragma GCC diagnostic pop
    return static_cast<int>(info.dwPlatformId);
}

LocalTime LocalClock()
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

CString Utf16ToSjis(const std::uint16_t* text, std::size_t length)
{
    if (!text || length == 0)
        return CString();
    static_assert(sizeof(wchar_t) == sizeof(std::uint16_t));
    return wide::ToSjis(reinterpret_cast<const wchar_t*>(text), length);
}

// ---- Text in other charsets ----------------------------------------------

namespace {

constexpr UINT kCp932 = 932;
// Longest piece handed to one conversion call (they take an int).
constexpr std::size_t kMaxPiece = 0x3FFFFFFF;

}  // namespace

CharsetDecoder::CharsetDecoder(unsigned codePage, const char* /*iconvName*/) : m_codePage(codePage)
{
    m_handle = codePage != 0 && ::IsValidCodePage(codePage) ? 1 : -1;   // whether the system has it
}

CharsetDecoder::~CharsetDecoder() = default;

bool CharsetDecoder::IsAvailable() const
{
    return m_handle == 1;
}

bool CharsetDecoder::Decode(const char* text, std::size_t n, std::u16string& out)
{
    if (n == 0)
        return IsAvailable();
    if (!text || n > kMaxPiece || !IsAvailable())
        return false;
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    const int in = static_cast<int>(n);
    int units = ::MultiByteToWideChar(m_codePage, MB_ERR_INVALID_CHARS, text, in, nullptr, 0);
    if (units <= 0)
        return false;
    const std::size_t before = out.size();
    out.resize(before + static_cast<std::size_t>(units));
    units = ::MultiByteToWideChar(m_codePage, MB_ERR_INVALID_CHARS, text, in,
                                  reinterpret_cast<wchar_t*>(out.data() + before), units);
    if (units <= 0) {
        out.resize(before);
        return false;
    }
    out.resize(before + static_cast<std::size_t>(units));
    if (m_codePage == 28597) {
        // Windows keeps the quotation marks of ISO-8859-7 of 1987 (U+02BD,
        // U+02BC); the standard since 2003, iconv and Python have U+2018
        // and U+2019 there.
        for (std::size_t i = before; i < out.size(); ++i) {
            if (out[i] == 0x02BD)
                out[i] = 0x2018;
            else if (out[i] == 0x02BC)
                out[i] = 0x2019;
        }
    }
    return true;
}

namespace {

// Code page 932 without best fit; true when no unit fell back to the
// default character and the bytes decode back to the same units (Wine's
// converter fits some characters best even when told not to).
bool NarrowExactly(const wchar_t* text, int n, std::string& bytes)
{
    BOOL usedDefault = FALSE;
    int size = ::WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, text, n, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return false;
    bytes.resize(static_cast<std::size_t>(size));
    size = ::WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, text, n, bytes.data(), size, nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return false;
    bytes.resize(static_cast<std::size_t>(size));
    int back = ::MultiByteToWideChar(kCp932, 0, bytes.data(), size, nullptr, 0);
    if (back != n)
        return false;
    std::wstring check(static_cast<std::size_t>(back), L'\0');
    back = ::MultiByteToWideChar(kCp932, 0, bytes.data(), size, check.data(), back);
    return back == n && std::wmemcmp(check.data(), text, static_cast<std::size_t>(n)) == 0;
}

// The length of the piece of text that starts at at: at most 4096 units,
// a surrogate pair kept in one piece.
std::size_t PieceLength(const char16_t* text, std::size_t at, std::size_t n)
{
    constexpr std::size_t kPiece = 4096;
    std::size_t len = std::min(kPiece, n - at);
    if (at + len < n && len > 1 && text[at + len - 1] >= 0xD800 && text[at + len - 1] <= 0xDBFF)
        --len;
    return len;
}

}  // namespace

void AppendUtf16AsUtf8(const char16_t* text, std::size_t n, std::string& out)
{
    if (!text || n == 0)
        return;
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    // In pieces; a lone surrogate becomes U+FFFD (as the UTF-8 code page
    // converts it).
    for (std::size_t at = 0; at < n;) {
        const std::size_t len = PieceLength(text, at, n);
        const wchar_t* piece = reinterpret_cast<const wchar_t*>(text + at);
        const int units = static_cast<int>(len);
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, piece, units, nullptr, 0, nullptr, nullptr);
        if (size > 0) {
            const std::size_t before = out.size();
            out.resize(before + static_cast<std::size_t>(size));
            const int done = ::WideCharToMultiByte(CP_UTF8, 0, piece, units, out.data() + before, size, nullptr, nullptr);
            out.resize(before + static_cast<std::size_t>(done > 0 ? done : 0));
        }
        at += len;
    }
}

void AppendUtf16AsCp932(const char16_t* text, std::size_t n, const char (&missing)[3], CString& out)
{
    if (!text || n == 0)
        return;
    std::string& s = out.Str();
    std::string bytes;
    // In pieces; a piece with a unit that has no code is done again one unit
    // at a time.
    for (std::size_t at = 0; at < n;) {
        const std::size_t len = PieceLength(text, at, n);
        const wchar_t* piece = reinterpret_cast<const wchar_t*>(text + at);
        if (NarrowExactly(piece, static_cast<int>(len), bytes)) {
            s += bytes;
        } else {
            for (std::size_t i = 0; i < len; ++i) {
                // One unit alone: a surrogate never converts, as wanted.
                if (NarrowExactly(piece + i, 1, bytes))
                    s += bytes;
                else
                    s.append(missing, 2);
            }
        }
        at += len;
    }
}

CString LoadResString(UINT id)
{
    // With a zero size LoadStringW points at the resource's own text.
    const wchar_t* text = nullptr;
    int n = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text)
        return CString();
    return wide::ToSjis(text, static_cast<std::size_t>(n));
}

}  // namespace platform

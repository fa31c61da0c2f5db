#include "framework/win32/WideText.h"

#include <windows.h>

#include <cstring>

namespace wide {

namespace {

constexpr UINT kSjis = 932;
// Longest text converted in one call (the conversion functions take an int).
constexpr std::size_t kMaxLength = 0x3FFFFFFF;

// UTF-16 to Shift_JIS, unmappable characters as "?"; *lossless, when asked
// for, tells whether none was met.
CString Narrow(const wchar_t* text, std::size_t length, bool* lossless)
{
    bool ignored = true;
    const bool check = lossless != nullptr;
    if (!lossless)
        lossless = &ignored;
    *lossless = true;
    if (!text || length == 0)
        return CString();
    if (length > kMaxLength) {
        *lossless = false;
        return CString();
    }
    const int in = static_cast<int>(length);
    BOOL usedDefault = FALSE;
    int n = ::WideCharToMultiByte(kSjis, WC_NO_BEST_FIT_CHARS, text, in, nullptr, 0, "?", &usedDefault);
    if (n <= 0) {
        *lossless = false;
        return CString();
    }
    CString out;
    char* p = out.GetBuffer(n);
    usedDefault = FALSE;
    n = ::WideCharToMultiByte(kSjis, WC_NO_BEST_FIT_CHARS, text, in, p, n, "?", &usedDefault);
    out.ReleaseBuffer(n > 0 ? n : 0);
    if (usedDefault || n <= 0) {
        *lossless = false;
        return out;
    }
    // A converter that still fits a character best (Wine's, for some) is
    // caught by converting back; display texts skip that second pass.
    if (check && FromSjis(out.GetString(), static_cast<std::size_t>(out.GetLength())) != std::wstring(text, length))
        *lossless = false;
    return out;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

}  // namespace

std::wstring FromSjis(const char* text, std::size_t length)
{
    if (!text || length == 0 || length > kMaxLength)
        return std::wstring();
    const int in = static_cast<int>(length);
    int n = ::MultiByteToWideChar(kSjis, 0, text, in, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    n = ::MultiByteToWideChar(kSjis, 0, text, in, out.data(), n);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

std::wstring FromSjis(const char* text)
{
    return text ? FromSjis(text, std::strlen(text)) : std::wstring();
}

std::wstring FromSjis(const CString& text)
{
    return FromSjis(text.GetString(), static_cast<std::size_t>(text.GetLength()));
}

bool ToSjis(const wchar_t* text, std::size_t length, CString* out)
{
    bool lossless = true;
    *out = Narrow(text, length, &lossless);
    return lossless;
}

CString ToSjis(const wchar_t* text, std::size_t length)
{
    return Narrow(text, length, nullptr);
}

CString ToSjis(const std::wstring& text)
{
    return ToSjis(text.data(), text.size());
}

CString ToSjisZ(const wchar_t* text)
{
    return text ? ToSjis(text, std::wcslen(text)) : CString();
}

std::wstring FilePath(const char* path)
{
    std::wstring converted = FromSjis(path);
    // CreateDirectoryW's classic limit is MAX_PATH less room for an 8.3 name.
    constexpr std::size_t kClassicLimit = MAX_PATH - 12;
    if (converted.size() < kClassicLimit || StartsWith(converted, L"\\\\?\\") ||
        StartsWith(converted, L"\\\\.\\"))
        return converted;
    DWORD n = ::GetFullPathNameW(converted.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return converted;
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(converted.c_str(), n, full.data(), nullptr);
    if (n == 0 || n >= full.size())
        return converted;
    full.resize(n);
    if (StartsWith(full, L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\')
        return L"\\\\?\\" + full;
    return converted;
}

}  // namespace wide

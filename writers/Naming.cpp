#include "writers/Naming.h"

#include "framework/Platform.h"
#include "framework/Sjis.h"

// ---- Unique names -------------------------------------------------------------

namespace {

// Splits path the way the Windows path splitter does: drive ("X:"), folder
// (through the last "\" or "/"), base name, extension (from the last "." of
// the last component). Walks Shift_JIS characters.
void SplitPath(const CString& path, CString& head, CString& base, CString& ext)
{
    const int n = path.GetLength();
    int nameStart = 0;
    if (n >= 2 && path[1] == ':' && !IsSjisLeadByte(static_cast<BYTE>(path[0])))
        nameStart = 2;
    int lastDot = -1;
    for (int i = nameStart; i < n;) {
        int len = SjisCharLength(path, i);
        if (len == 1 && (path[i] == '\\' || path[i] == '/')) {
            nameStart = i + 1;
            lastDot = -1;
        } else if (len == 1 && path[i] == '.') {
            lastDot = i;
        }
        i += len;
    }
    head = path.Left(nameStart);
    if (lastDot >= 0) {
        base = path.Mid(nameStart, lastDot - nameStart);
        ext = path.Mid(lastDot);
    } else {
        base = path.Mid(nameStart);
        ext.Empty();
    }
}

bool PathExists(const CString& path)
{
    platform::FileStatus status;
    return platform::GetFileStatus(path, &status);
}

}  // namespace

int CUniqueNameCache::StartFor(const CString& path) const
{
    auto it = m_next.find(path.Str());
    return it == m_next.end() ? 0 : it->second;
}

void CUniqueNameCache::Remember(const CString& path, int number)
{
    m_next[path.Str()] = number;
}

CString NumberedFileName(const CString& path, int number)
{
    if (number <= 0)
        return path;
    CString head, base, ext, numbered;
    SplitPath(path, head, base, ext);
    numbered.Format("%s%s[%02d]%s", head.GetString(), base.GetString(), number, ext.GetString());
    return numbered;
}

CString MakeUniqueFileName(const CString& path, CUniqueNameCache* cache)
{
    // Every number below the cached start was found taken earlier in this run.
    for (int n = cache ? cache->StartFor(path) : 0;; ++n) {
        CString candidate = NumberedFileName(path, n);
        if (!PathExists(candidate)) {
            if (cache)
                cache->Remember(path, n);
            return candidate;
        }
    }
}

// ---- Safe names -----------------------------------------------------------------

void MakeSafeFileName(CString& name)
{
    static const struct {
        char ch;
        const char* wide;
    } kMap[] = {
        {'\\', "\x81\x8F"}, {'*', "\x81\x96"}, {'/', "\x81\x5E"},
        {':', "\x81\x46"},  {'?', "\x81\x48"}, {'"', "\x81\x68"},
        {'<', "\x81\x83"},  {'>', "\x81\x84"}, {'|', "\x81\x62"},
    };
    CString out;
    const int n = name.GetLength();
    for (int i = 0; i < n;) {
        const int len = SjisCharLength(name, i);
        const char* repl = nullptr;
        if (len == 1) {
            for (const auto& m : kMap)
                if (name[i] == m.ch)
                    repl = m.wide;
        }
        if (repl)
            out += repl;
        else
            out.Append(name.GetString() + i, len);
        i += len;
    }
    name = out;
}

// ---- Folders ------------------------------------------------------------------------

bool CreateFolderPath(CString path)
{
    if (!SjisEndsWith(path, '\\'))
        path += '\\';
    const int first = SjisFind(path, '\\');
    CString prefix = first > 0 ? path.Left(first) : CString();
    const int n = path.GetLength();
    DWORD lastError = 0;
    int start = first + 1;
    for (int i = start; i < n;) {
        const int len = SjisCharLength(path, i);
        if (len == 1 && path[i] == '\\') {
            prefix += "\\";
            prefix += path.Mid(start, i - start);
            if (DWORD error = platform::MakeFolder(prefix))
                lastError = error;
            start = i + 1;
        }
        i += len;
    }
    if (lastError != 0 && lastError != kErrorAlreadyExists)
        return false;
    // "Already exists" may be a file standing where the folder should be.
    platform::FileStatus status;
    return prefix.IsEmpty() || (platform::GetFileStatus(prefix, &status) && (status.attribute & platform::kAttrDirectory));
}

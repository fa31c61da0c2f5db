#include "writers/Naming.h"

#include <cstring>
#include <utility>

#include "framework/Platform.h"
#include "framework/Sjis.h"

// ---- Logical lines ----------------------------------------------------------

CUnfoldedLineReader::CUnfoldedLineReader(const char* text, std::size_t maxLength, bool keepWhiteSpace)
    : m_text(text), m_end(text), m_lastCrLf(nullptr), m_bKeepWhiteSpace(keepWhiteSpace)
{
    if (!text)
        return;
    m_end = text + strnlen(text, maxLength);
    m_examined += static_cast<std::size_t>(m_end - text);
    // Where the last CR LF starts: before it a CR LF is always ahead, after
    // it never, so no line needs to search the rest of the text in vain.
    for (const char* p = m_end; p - text >= 2; --p) {
        ++m_examined;
        if (p[-2] == '\r' && p[-1] == '\n') {
            m_lastCrLf = p - 2;
            break;
        }
    }
}

// Start of the line end at or after from (CR LF, or LF once bareLf is set;
// it is set when no CR LF is left), or null when there is none.
const char* CUnfoldedLineReader::FindLineEnd(const char* from, bool& bareLf)
{
    if (!bareLf && !(m_lastCrLf && from <= m_lastCrLf))
        bareLf = true;
    const char* p = from;
    while (p < m_end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(m_end - p)));
        m_examined += static_cast<std::size_t>((lf ? lf + 1 : m_end) - p);
        if (!lf)
            return nullptr;
        if (bareLf)
            return lf;
        if (lf > from && lf[-1] == '\r')
            return lf - 1;
        p = lf + 1;
    }
    return nullptr;
}

const char* CUnfoldedLineReader::ReadLine(const char* position, CString& line)
{
    line.Empty();
    m_bCut = false;
    if (!position || position < m_text || position > m_end)
        return nullptr;

    char buf[kUnfoldedLineBufferSize];
    int written = 0;   // bytes of the line so far, without a line end
    bool bareLf = false;
    const char* cur = position;
    for (;;) {
        const char* eol = FindLineEnd(cur, bareLf);
        if (!eol)
            return nullptr;
        const int eolLen = bareLf ? 1 : 2;

        int skip = 0;
        if (!m_bKeepWhiteSpace) {
            int spaces = 0;
            while (cur[spaces] == ' ')   // stops at the line end at the latest
                ++spaces;
            skip = spaces == 0 ? 0 : (spaces == 1 ? 1 : spaces - 1);
        }
        const char* seg = cur + skip;
        const int segLen = static_cast<int>(eol - seg);

        // Copy what fits, leaving room for the line end and a zero byte; a cut
        // falls between whole Shift_JIS characters.
        const int room = kUnfoldedLineBufferSize - 1 - eolLen - written;
        int take = segLen;
        if (take > room) {
            m_bCut = true;
            take = 0;
            while (take < segLen) {
                int len = (take + 1 < segLen && IsSjisLeadByte(static_cast<BYTE>(seg[take]))) ? 2 : 1;
                if (take + len > room)
                    break;
                take += len;
            }
        }
        std::memcpy(buf + written, seg, static_cast<std::size_t>(take));
        written += take;

        const char* after = eol + eolLen;
        // An empty line ends the header; it never continues onto the next line.
        const bool empty = written == 0 && eol == cur;
        if (!empty && after < m_end && (*after == ' ' || *after == '\t')) {
            cur = after;   // folded: the next segment replaces the line end
            continue;
        }
        std::memcpy(buf + written, eol, static_cast<std::size_t>(eolLen));
        line = CString(buf, written + eolLen);
        return after;
    }
}

const char* ReadUnfoldedLine(const char* position, CString& line)
{
    if (!position) {
        line.Empty();
        return nullptr;
    }
    CUnfoldedLineReader reader(position);
    return reader.ReadLine(position, line);
}

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

namespace {
std::function<void(const CString&)>& FolderObserver()
{
    static std::function<void(const CString&)> observer;
    return observer;
}
}  // namespace

void SetCreateFolderObserver(std::function<void(const CString&)> observer)
{
    FolderObserver() = std::move(observer);
}

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
            if (FolderObserver())
                FolderObserver()(prefix);
            if (DWORD error = platform::CreateDirectory(prefix))
                lastError = error;
            start = i + 1;
        }
        i += len;
    }
    if (lastError != 0 && lastError != 183)
        return false;
    // "Already exists" may be a file standing where the folder should be.
    platform::FileStatus status;
    return prefix.IsEmpty() || (platform::GetFileStatus(prefix, &status) && (status.attribute & platform::kAttrDirectory));
}

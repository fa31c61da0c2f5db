#include "framework/File.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kStdioBufferSize = 64 * 1024;

unsigned ToPlatformFlags(UINT flags)
{
    unsigned out = 0;
    if (flags & CFile::modeReadWrite)
        out |= platform::kOpenReadWrite;
    else if (flags & CFile::modeWrite)
        out |= platform::kOpenWrite;
    else
        out |= platform::kOpenRead;
    if (flags & CFile::modeCreate) {
        out |= platform::kOpenCreate;
        if (flags & CFile::modeNoTruncate)
            out |= platform::kOpenNoTruncate;
        if (flags & CFile::modeCreateNew)
            out |= platform::kOpenCreateNew;
    }
    return out;
}

}  // namespace

CFile::~CFile()
{
    if (IsOpen())
        platform::CloseFile(m_hFile);
}

bool CFile::Open(const char* path, UINT flags, DWORD* error)
{
    Close();
    m_bError = false;
    DWORD code = 0;
    m_hFile = platform::OpenFileHandle(path, ToPlatformFlags(flags), &code);
    if (error)
        *error = IsOpen() ? 0 : code;
    if (!IsOpen())
        return false;
    m_strPath = path;
    return true;
}

void CFile::Close()
{
    if (IsOpen()) {
        platform::CloseFile(m_hFile);
        m_hFile = platform::kInvalidFile;
    }
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (!IsOpen() || count == 0)
        return 0;
    UINT done = 0;
    if (!platform::ReadBytes(m_hFile, buffer, count, &done)) {
        m_bError = true;
        return 0;
    }
    return done;
}

bool CFile::Write(const void* buffer, UINT count)
{
    if (!IsOpen()) {
        m_bError = true;
        return false;
    }
    if (count == 0)
        return true;
    if (!platform::WriteBytes(m_hFile, buffer, count)) {
        m_bError = true;
        return false;
    }
    return true;
}

std::int64_t CFile::Seek(std::int64_t offset, int from)
{
    std::uint64_t pos = 0;
    if (!IsOpen() || !platform::SeekFile(m_hFile, offset, from, &pos)) {
        m_bError = true;
        return -1;
    }
    return static_cast<std::int64_t>(pos);
}

bool CFile::Flush()
{
    if (!IsOpen() || !platform::FlushFileToDisk(m_hFile)) {
        m_bError = true;
        return false;
    }
    return !m_bError;
}

std::uint64_t CFile::GetLength() const
{
    std::uint64_t size = 0;
    if (IsOpen())
        platform::GetFileLength(m_hFile, &size);   // a failed query leaves 0
    return size;
}

std::uint64_t CFile::GetPosition() const
{
    std::uint64_t pos = 0;
    if (IsOpen())
        platform::SeekFile(m_hFile, 0, current, &pos);   // a failed query leaves 0
    return pos;
}

bool CFile::SetModifiedTime(std::int64_t seconds)
{
    return IsOpen() && platform::SetFileModifiedTime(m_hFile, seconds);
}

bool CFile::GetStatus(const char* path, CFileStatus& status)
{
    platform::FileStatus st;
    if (!platform::GetFileStatus(path, &st))
        return false;
    status.m_size = st.size;
    status.m_attribute = st.attribute;
    return true;
}

bool CFile::Remove(const char* path)
{
    return platform::RemoveFile(path);
}

// ---- CStdioFile ----------------------------------------------------------

CStdioFile::~CStdioFile()
{
    CStdioFile::Close();
}

bool CStdioFile::Open(const char* path, UINT flags, DWORD* error)
{
    Close();
    m_bText = (flags & typeText) != 0;
    m_readBuf.clear();
    m_readPos = 0;
    m_bEof = false;
    m_writeBuf.clear();
    return CFile::Open(path, flags, error);
}

void CStdioFile::Close()
{
    if (IsOpen())
        FlushWrite();   // a failed write has set the error flag (HasError)
    CFile::Close();
}

bool CStdioFile::Flush()
{
    const bool written = !IsOpen() || FlushWrite();
    return CFile::Flush() && written;
}

bool CStdioFile::FillBuffer()
{
    if (m_bEof)
        return false;
    m_readBuf.erase(0, m_readPos);
    m_readPos = 0;
    std::size_t old = m_readBuf.size();
    m_readBuf.resize(old + kStdioBufferSize);
    UINT got = CFile::Read(m_readBuf.data() + old, static_cast<UINT>(kStdioBufferSize));
    m_readBuf.resize(old + got);
    if (got == 0)
        m_bEof = true;
    return got != 0;
}

bool CStdioFile::ReadString(CString& line)
{
    line.Empty();
    std::string& out = line.Str();
    bool any = false;
    for (;;) {
        if (m_readPos >= m_readBuf.size() && !FillBuffer())
            return any;
        const char* start = m_readBuf.data() + m_readPos;
        std::size_t avail = m_readBuf.size() - m_readPos;
        const void* lf = std::memchr(start, '\n', avail);
        std::size_t take = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : avail;
        out.append(start, take);
        m_readPos += take;
        any = true;
        if (lf) {
            ++m_readPos;   // the LF itself is not part of the line
            if (m_bText && !out.empty() && out.back() == '\r')
                out.pop_back();
            return true;
        }
        // A CR at the end of the buffer may belong to a CR LF in the next one.
    }
}

bool CStdioFile::WriteString(const char* text)
{
    if (!text)
        return true;
    if (!m_bText)
        return Write(text, static_cast<UINT>(std::strlen(text)));
    for (const char* p = text; *p; ++p) {
        if (*p == '\n')
            m_writeBuf += '\r';
        m_writeBuf += *p;
    }
    if (m_writeBuf.size() >= kStdioBufferSize)
        return FlushWrite();
    return !m_bError;
}

bool CStdioFile::FlushWrite()
{
    if (m_writeBuf.empty())
        return !m_bError;
    bool ok = Write(m_writeBuf.data(), static_cast<UINT>(m_writeBuf.size()));
    m_writeBuf.clear();
    return ok;
}

// ---- Whole files -----------------------------------------------------------

bool ReadWholeFile(const char* path, std::string& bytes, std::uint64_t maxBytes)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::typeBinary))
        return false;
    const std::uint64_t length = std::min(file.GetLength(), maxBytes);
    bytes.assign(static_cast<std::size_t>(length), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const UINT want = static_cast<UINT>(std::min<std::size_t>(bytes.size() - got, 1u << 30));
        const UINT n = file.Read(bytes.data() + got, want);
        if (n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    return !file.HasError();
}

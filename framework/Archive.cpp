#include "framework/Archive.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "framework/File.h"
#include "framework/Platform.h"

namespace {

constexpr std::size_t kReadBlock = 64 * 1024;
constexpr std::size_t kWriteBlock = 64 * 1024;

}  // namespace

// ---- CArchiveReader --------------------------------------------------------

CArchiveReader::CArchiveReader(const void* data, std::size_t size)
    : m_pos(static_cast<const BYTE*>(data)), m_end(static_cast<const BYTE*>(data) + size)
{
    if (!data) {
        m_pos = m_end = nullptr;
    }
}

CArchiveReader::CArchiveReader(CFile& file) : m_pFile(&file)
{
    std::uint64_t length = file.GetLength();
    std::uint64_t position = file.GetPosition();
    m_fileLeft = length > position ? length - position : 0;
}

bool CArchiveReader::Fill()
{
    // Called with the buffer used up: reads the next block.
    if (!m_pFile || m_fileLeft == 0)
        return false;
    m_buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kReadBlock, m_fileLeft)));
    UINT got = m_pFile->Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
    if (got == 0) {
        // The file ended before its length said (or a read failed).
        m_fileLeft = 0;
        return false;
    }
    m_fileLeft -= std::min<std::uint64_t>(got, m_fileLeft);
    m_pos = m_buffer.data();
    m_end = m_pos + got;
    return true;
}

bool CArchiveReader::Take(void* out, std::size_t count)
{
    if (m_bFailed)
        return false;
    BYTE* dst = static_cast<BYTE*>(out);
    for (;;) {
        std::size_t have = static_cast<std::size_t>(m_end - m_pos);
        std::size_t n = std::min(have, count);
        if (n) {
            std::memcpy(dst, m_pos, n);
            m_pos += n;
            dst += n;
            count -= n;
        }
        if (count == 0)
            return true;
        if (m_pFile && count >= kReadBlock && m_fileLeft >= count) {
            // A long string goes straight from the file to its place.
            while (count > 0) {
                UINT want = static_cast<UINT>(std::min<std::size_t>(count, 1u << 30));
                UINT got = m_pFile->Read(dst, want);
                if (got == 0)
                    break;
                dst += got;
                count -= got;
                m_fileLeft -= std::min<std::uint64_t>(got, m_fileLeft);
            }
            if (count == 0)
                return true;
            m_fileLeft = 0;
        }
        if (!Fill()) {
            m_bFailed = true;
            return false;
        }
    }
}

BYTE CArchiveReader::ReadByte()
{
    BYTE b[1] = {0};
    return Take(b, 1) ? b[0] : 0;
}

WORD CArchiveReader::ReadWord()
{
    BYTE b[2] = {0, 0};
    if (!Take(b, 2))
        return 0;
    return static_cast<WORD>(b[0] | (b[1] << 8));
}

DWORD CArchiveReader::ReadDword()
{
    BYTE b[4] = {0, 0, 0, 0};
    if (!Take(b, 4))
        return 0;
    return static_cast<DWORD>(b[0]) | (static_cast<DWORD>(b[1]) << 8) | (static_cast<DWORD>(b[2]) << 16) |
           (static_cast<DWORD>(b[3]) << 24);
}

std::uint64_t CArchiveReader::ReadLength(bool* wide)
{
    *wide = false;
    BYTE b = ReadByte();
    if (b < 0xFF)
        return b;
    WORD w = ReadWord();
    if (w == 0xFFFE) {
        // Wide string: the prefix comes again; this time 0xFFFE is a length.
        *wide = true;
        b = ReadByte();
        if (b < 0xFF)
            return b;
        w = ReadWord();
    }
    if (w < 0xFFFF)
        return w;
    return ReadDword();
}

CString CArchiveReader::ReadString()
{
    bool wide = false;
    std::uint64_t length = ReadLength(&wide);
    if (m_bFailed)
        return CString();
    std::uint64_t bytes = wide ? length * 2 : length;
    // The bytes must be there before anything is allocated for them.
    if (bytes > Remaining() || bytes > static_cast<std::uint64_t>(INT_MAX)) {
        m_bFailed = true;
        return CString();
    }
    std::string raw(static_cast<std::size_t>(bytes), '\0');
    if (!Take(raw.data(), raw.size()))
        return CString();
    if (!wide)
        return CString(std::move(raw));
    std::vector<std::uint16_t> chars(static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < chars.size(); ++i)
        chars[i] = static_cast<std::uint16_t>(static_cast<BYTE>(raw[2 * i]) | (static_cast<BYTE>(raw[2 * i + 1]) << 8));
    return platform::Utf16ToSjis(chars.data(), chars.size());
}

// ---- CArchiveWriter --------------------------------------------------------

CArchiveWriter::CArchiveWriter(CFile& file) : m_pFile(&file) {}

CArchiveWriter::CArchiveWriter() = default;

CArchiveWriter::~CArchiveWriter()
{
    if (m_pFile)
        Flush();   // a writer that must know checks Flush itself before
}

void CArchiveWriter::Put(const void* data, std::size_t count)
{
    m_bytes.append(static_cast<const char*>(data), count);
    if (m_pFile && m_bytes.size() >= kWriteBlock)
        Flush();   // a failure stays in m_bFailed for the caller's Flush or Failed
}

bool CArchiveWriter::Flush()
{
    if (m_pFile && !m_bytes.empty()) {
        if (!m_pFile->Write(m_bytes.data(), static_cast<UINT>(m_bytes.size())))
            m_bFailed = true;
        m_bytes.clear();
    }
    return !m_bFailed;
}

void CArchiveWriter::WriteByte(BYTE value)
{
    Put(&value, 1);
}

void CArchiveWriter::WriteWord(WORD value)
{
    BYTE b[2] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8)};
    Put(b, 2);
}

void CArchiveWriter::WriteDword(DWORD value)
{
    BYTE b[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                 static_cast<BYTE>(value >> 24)};
    Put(b, 4);
}

void CArchiveWriter::WriteLength(std::uint64_t length)
{
    if (length < 0xFF) {
        WriteByte(static_cast<BYTE>(length));
    } else if (length < 0xFFFE) {
        WriteByte(0xFF);
        WriteWord(static_cast<WORD>(length));
    } else {
        WriteByte(0xFF);
        WriteWord(0xFFFF);
        WriteDword(static_cast<DWORD>(length));
    }
}

void CArchiveWriter::WriteString(const CString& text)
{
    if (m_toUtf16) {
        WriteWideString(m_toUtf16(text));
        return;
    }
    WriteLength(static_cast<std::uint64_t>(text.GetLength()));
    Put(text.GetString(), static_cast<std::size_t>(text.GetLength()));
}

void CArchiveWriter::WriteWideString(const std::u16string& text)
{
    WriteByte(0xFF);
    WriteWord(0xFFFE);
    WriteLength(text.size());
    for (char16_t c : text)
        WriteWord(static_cast<WORD>(c));
}

#include "writers/StoredMessage.h"

#include <algorithm>
#include <cstring>

#include "framework/CString.h"

namespace {

constexpr std::size_t kKeptBuffer = 1u << 20;     // a buffer up to this size is kept
constexpr std::size_t kReadChunk = 16u << 20;     // bytes asked of one read call

// Length of text[0, length) without the store's terminator: when the text
// ends with a line that is exactly "." CR LF followed by nothing but empty
// lines (CR LF), where that "." line starts; otherwise length.
std::size_t LengthWithoutTerminator(const char* text, std::size_t length)
{
    auto lineStart = [text](std::size_t at) { return at == 0 || text[at - 1] == '\n'; };
    std::size_t end = length;
    // Empty lines after the terminator (an index range may hold the one that
    // follows it in the storage file).
    while (end >= 2 && text[end - 2] == '\r' && text[end - 1] == '\n' && lineStart(end - 2))
        end -= 2;
    if (end >= 3 && text[end - 3] == '.' && text[end - 2] == '\r' && text[end - 1] == '\n' && lineStart(end - 3))
        return end - 3;
    return length;
}

}  // namespace

void CStoredMessage::Prepare(const CMailIndexData& record, std::uint64_t fileLength)
{
    m_reversed = record.m_dwEnd < record.m_dwStart;
    const std::size_t range = m_reversed ? 0 : record.m_dwEnd - record.m_dwStart;
    m_length = record.m_dwStart >= fileLength
        ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(range, fileLength - record.m_dwStart));
    m_missing = range - m_length;

    // A large message's buffer is given back once a small one follows; a
    // buffer that is too small is replaced (its bytes are not kept).
    std::size_t capacity = m_capacity;
    if (capacity > kKeptBuffer && m_length + 1 <= kKeptBuffer)
        capacity = kKeptBuffer;
    if (capacity < m_length + 1)
        capacity = std::max(m_length + 1, std::min(kKeptBuffer, 2 * m_capacity));
    if (capacity != m_capacity) {
        m_buf.reset();   // before the new one: never two at once
        m_buf = std::make_unique_for_overwrite<char[]>(capacity);
        m_capacity = capacity;
    }
    m_buf[m_length] = '\0';
}

namespace {

// Reads count bytes at offset of file into buffer, as many as there are;
// answers how many were read (fewer at the end of the file or on an error).
std::size_t ReadAt(CFile& file, std::uint64_t offset, char* buffer, std::size_t count)
{
    if (file.Seek(static_cast<std::int64_t>(offset), CFile::begin) < 0)
        return 0;
    std::size_t got = 0;
    while (got < count) {
        const UINT want = static_cast<UINT>(std::min(count - got, kReadChunk));
        const UINT n = file.Read(buffer + got, want);
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

}  // namespace

bool CStoredMessage::ReadFromFile(CFile& storage, std::uint64_t start)
{
    if (m_length == 0)
        return true;
    return ReadAt(storage, start, m_buf.get(), m_length) == m_length && !storage.HasError();
}

bool CStoredMessage::Read(CFile& storage, const CMailIndexData& record)
{
    Prepare(record, storage.GetLength());
    return ReadFromFile(storage, record.m_dwStart);
}

bool CStoredMessage::Read(CStorageReader& storage, const CMailIndexData& record)
{
    const std::uint64_t start = record.m_dwStart;
    const std::uint64_t range = record.m_dwEnd < record.m_dwStart ? 0 : record.m_dwEnd - record.m_dwStart;
    if (range == 0) {
        Prepare(record, storage.m_fileLength);   // nothing to read, whatever the length
        return true;
    }
    const bool ahead = start >= storage.m_lastEnd && range <= kStorageReadAheadRange;
    storage.m_lastEnd = start + range;
    if (!ahead) {
        Prepare(record, storage.m_file.GetLength());
        return ReadFromFile(storage.m_file, start);
    }
    // The block serves the range when it holds all of it; otherwise it is
    // read anew from the range's start (with the file's length of now).
    if (start < storage.m_blockStart || start + range > storage.m_blockStart + storage.m_blockLength) {
        if (!storage.m_block)
            storage.m_block = std::make_unique_for_overwrite<char[]>(kStorageReadAhead);
        storage.m_fileLength = storage.m_file.GetLength();
        storage.m_blockStart = start;
        const std::size_t want = start >= storage.m_fileLength
            ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(kStorageReadAhead, storage.m_fileLength - start));
        storage.m_blockLength = want == 0 ? 0 : ReadAt(storage.m_file, start, storage.m_block.get(), want);
        Prepare(record, storage.m_fileLength);
        // Fewer bytes than the range has in the file: a read error.
        if (storage.m_blockLength < m_length) {
            storage.m_blockLength = 0;
            return false;
        }
    } else {
        Prepare(record, storage.m_fileLength);
    }
    if (m_length > 0)
        std::memcpy(m_buf.get(), storage.m_block.get() + (start - storage.m_blockStart), m_length);
    return !storage.m_file.HasError();
}

CStoredMessage::Span CStoredMessage::Message() const
{
    const std::size_t end = m_missing == 0 ? LengthWithoutTerminator(Data(), m_length) : m_length;
    std::size_t start = 0;
    while (start < end && IsAsciiWhiteSpace(Data()[start]))
        ++start;
    return Span{Data() + start, end - start, end != m_length};
}

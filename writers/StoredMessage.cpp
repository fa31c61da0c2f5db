#include "writers/StoredMessage.h"

#include <algorithm>

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

bool CStoredMessage::Read(CFile& storage, const CMailIndexData& record)
{
    m_reversed = record.m_dwEnd < record.m_dwStart;
    const std::size_t range = m_reversed ? 0 : record.m_dwEnd - record.m_dwStart;
    const std::uint64_t fileLength = storage.GetLength();
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
    if (m_length == 0)
        return true;
    if (storage.Seek(record.m_dwStart, CFile::begin) < 0)
        return false;
    std::size_t got = 0;
    while (got < m_length) {
        const UINT want = static_cast<UINT>(std::min(m_length - got, kReadChunk));
        const UINT n = storage.Read(m_buf.get() + got, want);
        if (n == 0)
            break;
        got += n;
    }
    return got == m_length && !storage.HasError();
}

CStoredMessage::Span CStoredMessage::Message() const
{
    const std::size_t end = m_missing == 0 ? LengthWithoutTerminator(Data(), m_length) : m_length;
    std::size_t start = 0;
    while (start < end && IsAsciiWhiteSpace(Data()[start]))
        ++start;
    return Span{Data() + start, end - start, end != m_length};
}

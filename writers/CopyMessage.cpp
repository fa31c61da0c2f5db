#include "writers/CopyMessage.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>
#include <string_view>

#include "framework/DateTime.h"
#include "writers/Naming.h"

const char* const kMboxSeparatorFormat = "From ???@??? %s %s %2d %2d:%2d:%2d %4d\r\n";
const char* const kNetscapeSeparatorFormat = "From - %s %s %2d %2d:%2d:%2d %4d\r\n";

namespace {

constexpr char kMarker[] = "From ???@??? ";
constexpr std::size_t kMarkerLength = sizeof(kMarker) - 1;   // 13
constexpr std::size_t kOutputBufferSize = 256 * 1024;
constexpr std::size_t kDirectWrite = 64 * 1024;       // larger pieces are not copied
constexpr std::size_t kKeptReadBuffer = 1u << 20;     // a read buffer this small is reused
constexpr std::size_t kReadChunk = 16u << 20;

// The first occurrence of needle in text[0, length), or null (memmem is not
// available on every platform).
const char* FindBytes(const char* text, std::size_t length, const char* needle, std::size_t needleLength)
{
    const std::size_t at = std::string_view(text, length).find(std::string_view(needle, needleLength));
    return at == std::string_view::npos ? nullptr : text + at;
}

bool IsLeadingWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

CString MakeSeparatorLine(const char* format)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const COleDateTime now = COleDateTime::GetCurrentTime();
    const int day = std::clamp(now.GetDayOfWeek() - 1, 0, 6);
    const int month = std::clamp(now.GetMonth() - 1, 0, 11);
    CString line;
    line.Format(format, kDays[day], kMonths[month], now.GetDay(), now.GetHour(), now.GetMinute(),
                now.GetSecond(), now.GetYear());
    return line;
}

// ---- Output ----------------------------------------------------------------

void CMessageOutput::Attach(CFile& file)
{
    Flush();
    m_file = &file;
    m_bOk = true;
    m_bAtLineStart = true;
    if (m_buf.capacity() < kOutputBufferSize)
        m_buf.reserve(kOutputBufferSize);
}

void CMessageOutput::Write(const char* bytes, std::size_t count)
{
    if (count == 0)
        return;
    m_bAtLineStart = bytes[count - 1] == '\n';
    if (count < kDirectWrite && m_buf.size() + count <= kOutputBufferSize) {
        m_buf.append(bytes, count);
        return;
    }
    Flush();
    while (count > 0 && m_bOk) {
        const std::size_t n = std::min(count, kReadChunk);
        if (!m_file || !m_file->Write(bytes, static_cast<UINT>(n)))
            m_bOk = false;
        bytes += n;
        count -= n;
    }
}

void CMessageOutput::WriteZeros(std::size_t count)
{
    static const char kZeros[4096] = {};
    while (count > 0) {
        const std::size_t n = std::min(count, sizeof(kZeros));
        Write(kZeros, n);
        count -= n;
    }
}

bool CMessageOutput::Flush()
{
    if (!m_buf.empty()) {
        if (m_bOk && (!m_file || !m_file->Write(m_buf.data(), static_cast<UINT>(m_buf.size()))))
            m_bOk = false;
        m_buf.clear();
    }
    return m_bOk;
}

// ---- One message ---------------------------------------------------------------

namespace {

// Writes body bytes, putting ">" before every line that begins with "From ".
// The body starts at a line start.
void WriteQuotedBody(CMessageOutput& out, const char* p, const char* end)
{
    static const char kFrom[] = "From ";
    if (end - p >= 5 && std::memcmp(p, kFrom, 5) == 0)
        out.Write(">", 1);
    while (p < end) {
        const char* hit = FindBytes(p, static_cast<std::size_t>(end - p), "\nFrom ", 6);
        if (!hit) {
            out.Write(p, static_cast<std::size_t>(end - p));
            return;
        }
        out.Write(p, static_cast<std::size_t>(hit + 1 - p));
        out.Write(">", 1);
        p = hit + 1;
    }
}

// Applies the marker rule to header text (leading white space already gone):
// answers how many leading bytes to drop and whether a separator is needed.
// wholeText: the marker counts only at the start (or third byte), since the
// text is not known to be a header.
void MarkerRule(const char* text, std::size_t length, bool wholeText, std::size_t& drop, bool& separator)
{
    drop = 0;
    separator = false;
    const char* hit = FindBytes(text, length, kMarker, kMarkerLength);
    const std::size_t pos = hit ? static_cast<std::size_t>(hit - text) : length;
    if (!hit || (wholeText && pos != 0 && pos != 2))
        separator = true;
    else if (pos == 2)
        drop = 2;
}

}  // namespace

CopyResult CopyStoredMessage(CFile& storage, const CMailIndexData& record, const char* separatorFormat,
                             CMessageOutput& output, bool quoteFromLines)
{
    if (record.m_dwEnd < record.m_dwStart)
        return kCopySkipped;
    const std::size_t length = record.m_dwEnd - record.m_dwStart;
    const std::uint64_t fileLength = storage.GetLength();
    // Only the bytes the file holds are read; the rest of the range is zeros.
    const std::size_t stored = record.m_dwStart >= fileLength
        ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(length, fileLength - record.m_dwStart));

    // Small messages reuse one buffer; a large one gets its own, given back after.
    static std::vector<char> kept;
    std::vector<char> own;
    std::vector<char>& bufVec = stored < kKeptReadBuffer ? kept : own;
    if (bufVec.size() < stored + 1)
        bufVec.resize(stored + 1);
    char* const buf = bufVec.data();
    buf[stored] = 0;
    if (stored > 0) {
        if (storage.Seek(record.m_dwStart, CFile::begin) < 0)
            return kCopyReadError;
        std::size_t got = 0;
        while (got < stored) {
            const UINT want = static_cast<UINT>(std::min(stored - got, kReadChunk));
            const UINT n = storage.Read(buf + got, want);
            if (n == 0)
                break;
            got += n;
        }
        if (got != stored || storage.HasError())
            return kCopyReadError;
    }
    const char* const text = buf;
    const char* const textEnd = text + stored;

    // The header, line by line, up to its empty line.
    CString header;
    CUnfoldedLineReader reader(text, stored);
    CString line;
    const char* bodyStart = nullptr;
    bool cut = false;
    for (const char* p = text; (p = reader.ReadLine(p, line)) != nullptr;) {
        header += line;
        cut = cut || reader.LastLineWasCut();
        if (line == "\r\n" || line == "\n") {
            bodyStart = p;
            break;
        }
    }

    const char* head;
    std::size_t headLength;
    bool wholeText = false;
    if (!bodyStart) {
        // No header end: the message goes out whole, as stored.
        head = text;
        headLength = stored;
        bodyStart = textEnd;
        wholeText = true;
    } else if (cut) {
        // A line too long to unfold: the header goes out as stored.
        head = text;
        headLength = static_cast<std::size_t>(bodyStart - text);
    } else {
        head = header.GetString();
        headLength = static_cast<std::size_t>(header.GetLength());
    }
    while (headLength > 0 && IsLeadingWhite(*head)) {
        ++head;
        --headLength;
    }

    std::size_t drop;
    bool separator;
    MarkerRule(head, headLength, wholeText, drop, separator);
    if (separator) {
        const CString sep = MakeSeparatorLine(separatorFormat);
        output.Write(sep.GetString(), static_cast<std::size_t>(sep.GetLength()));
    }
    output.Write(head + drop, headLength - drop);
    if (quoteFromLines && !wholeText)
        WriteQuotedBody(output, bodyStart, textEnd);
    else
        output.Write(bodyStart, static_cast<std::size_t>(textEnd - bodyStart));
    output.WriteZeros(length - stored);
    return output.Ok() ? kCopyWritten : kCopyWriteError;
}

#include "writers/CopyMessage.h"

#include <algorithm>
#include <cstring>

#include "framework/Ascii.h"
#include "framework/ByteSearch.h"
#include "framework/DateTime.h"
#include "writers/StoredMessage.h"
#include "writers/UnfoldedLine.h"

const char* const kMboxSeparatorFormat = "From ???@??? %s %s %2d %02d:%02d:%02d %4d\r\n";
const char* const kNetscapeSeparatorFormat = "From - %s %s %2d %02d:%02d:%02d %4d\r\n";

namespace {

constexpr char kMarker[] = "From ???@??? ";
constexpr std::size_t kMarkerLength = sizeof(kMarker) - 1;   // 13
constexpr std::size_t kOutputBufferSize = 256 * 1024;
constexpr std::size_t kDirectWrite = 64 * 1024;       // larger pieces are not copied
constexpr std::size_t kReadChunk = 16u << 20;

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
    m_file = &file;
    m_bOk = true;
    m_bAtLineStart = true;
    if (m_buf.capacity() < kOutputBufferSize)
        m_buf.reserve(kOutputBufferSize);
}

void CMessageOutput::Detach()
{
    // Its result is the caller's to read from Flush() before the file closes;
    // here only nothing may be left for a file that is gone.
    Flush();
    m_file = nullptr;
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

SeparatorRule ApplySeparatorRule(const char* header, std::size_t length)
{
    SeparatorRule rule;
    if (length >= kMarkerLength && std::memcmp(header, kMarker, kMarkerLength) == 0) {
        rule.makeSeparator = false;
    } else if (length >= kMarkerLength + 2 && std::memcmp(header + 2, kMarker, kMarkerLength) == 0) {
        rule.drop = 2;
        rule.makeSeparator = false;
    }
    return rule;
}

namespace {

// Writes text, putting one more ">" before every line that matches ">*From "
// (mboxrd). text starts at a line start.
void WriteQuoted(CMessageOutput& out, const char* p, const char* end)
{
    const char* const begin = p;
    const char* search = p;
    while (const char* hit = FindBytes(search, static_cast<std::size_t>(end - search), "From ", 5)) {
        const char* q = hit;
        while (q > begin && q[-1] == '>')
            --q;
        if (q == begin || q[-1] == '\n') {
            out.Write(p, static_cast<std::size_t>(q - p));
            out.Write(">", 1);
            p = q;
        }
        search = hit + 5;
    }
    out.Write(p, static_cast<std::size_t>(end - p));
}

// End of the first line of text (after its LF), or end.
const char* AfterFirstLine(const char* p, const char* end)
{
    const char* lf = FindByte(p, static_cast<std::size_t>(end - p), '\n');
    return lf ? lf + 1 : end;
}

// True when the logical line is a "Date" field ("Date", white space, ":",
// without regard to case); value receives what follows the colon, its line
// end left out.
bool ReadDateField(const CString& line, CString& value)
{
    static constexpr char kName[] = "date";
    const char* p = line.GetString();
    const char* const end = p + line.GetLength();
    for (const char* n = kName; *n; ++n, ++p)
        if (p == end || AsciiToLower(*p) != *n)
            return false;
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    if (p == end || *p != ':')
        return false;
    ++p;
    const char* valueEnd = end;
    while (valueEnd > p && (valueEnd[-1] == '\n' || valueEnd[-1] == '\r'))
        --valueEnd;
    value = CString(p, static_cast<int>(valueEnd - p));
    return true;
}

}  // namespace

bool CopyStoredMessage(const CStoredMessage& stored, const char* separatorFormat, CMessageOutput& output,
                       bool intoMailbox, CString* dateField)
{
    if (dateField)
        dateField->Empty();
    bool dateSeen = dateField == nullptr;
    const CStoredMessage::Span message = stored.Message();
    const char* const text = message.text;
    const std::size_t length = message.length;
    const char* const textEnd = text + length;

    // The header, line by line, up to its empty line.
    CString header;
    CUnfoldedLineReader reader(text, length, true);
    CString line;
    const char* bodyStart = nullptr;
    bool cut = false;
    for (const char* p = text; (p = reader.ReadLine(p, line)) != nullptr;) {
        header += line;
        cut = cut || reader.LastLineWasCut();
        if (!dateSeen && ReadDateField(line, *dateField)) {
            dateSeen = true;
            if (reader.LastLineWasCut())
                dateField->Empty();
        }
        if (line == "\r\n" || line == "\n") {
            bodyStart = p;
            break;
        }
    }

    const char* head;
    std::size_t headLength;
    if (!bodyStart) {
        // No header end: the message goes out whole, as stored.
        head = text;
        headLength = length;
        bodyStart = textEnd;
    } else if (cut) {
        // A line too long to unfold: the header goes out as stored.
        head = text;
        headLength = static_cast<std::size_t>(bodyStart - text);
    } else {
        head = header.GetString();
        headLength = static_cast<std::size_t>(header.GetLength());
    }

    const SeparatorRule rule = ApplySeparatorRule(head, headLength);
    head += rule.drop;
    headLength -= rule.drop;
    if (rule.makeSeparator) {
        const CString sep = MakeSeparatorLine(separatorFormat);
        output.Write(sep.GetString(), static_cast<std::size_t>(sep.GetLength()));
    }
    if (intoMailbox) {
        // A kept separator line is written as it is; every other line is quoted.
        const char* const headEnd = head + headLength;
        const char* quoteFrom = rule.makeSeparator ? head : AfterFirstLine(head, headEnd);
        output.Write(head, static_cast<std::size_t>(quoteFrom - head));
        WriteQuoted(output, quoteFrom, headEnd);
        WriteQuoted(output, bodyStart, textEnd);
    } else {
        output.Write(head, headLength);
        output.Write(bodyStart, static_cast<std::size_t>(textEnd - bodyStart));
    }
    output.WriteZeros(stored.MissingLength());
    if (message.terminated && intoMailbox)
        output.Write("\r\n", 2);
    return output.Ok();
}

#include "store/StorageScan.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "coding/Base64.h"
#include "framework/Ascii.h"
#include "framework/File.h"

const char* const kOwnMailDomain = "orvane.ne.jp";

std::size_t CMemoryStorageSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t count)
{
    if (offset >= m_size)
        return 0;
    std::size_t n = std::min<std::size_t>(count, m_size - static_cast<std::size_t>(offset));
    std::memcpy(buffer, m_data + offset, n);
    return n;
}

CFileStorageSource::CFileStorageSource(CFile& file)
    : m_file(file), m_length(file.GetLength()), m_position(file.GetPosition())
{
}

bool CFileStorageSource::Failed() const
{
    return m_file.HasError();
}

std::size_t CFileStorageSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t count)
{
    if (offset >= m_length)
        return 0;
    // Bytes a growing file gained after the scan started are not the scan's.
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_length - offset));
    if (offset != m_position) {
        if (m_file.Seek(static_cast<std::int64_t>(offset), CFile::begin) < 0)
            return 0;
        m_position = offset;
    }
    std::size_t done = 0;
    char* out = static_cast<char*>(buffer);
    while (done < count) {
        UINT want = static_cast<UINT>(std::min<std::size_t>(count - done, 1u << 30));
        UINT got = m_file.Read(out + done, want);
        if (got == 0)
            break;
        done += got;
    }
    m_position += done;
    return done;
}

namespace {

enum class Header { kNone, kSubject, kFrom, kReplyTo, kDate, kTo, kCc, kBcc };

bool HasColonSpace(std::string_view text)
{
    return text.find(": ") != std::string_view::npos;
}

// One line as the scan sees it.
struct Line {
    std::string_view text;     // the line without LF (or its first bytes, below)
    bool complete = true;      // text runs to the line's end
    bool preTrimmed = false;   // began with SPACE/TAB; leading white space already removed
    bool colonSpace = false;   // ": " somewhere in the line (long lines only)
};

// The per-message scanning state.
struct Message {
    CString subject, from, to, cc, bcc, replyTo, date, messageId, inReplyTo;
    DWORD flags = 0;
    bool headerSeen = false;
    bool inBody = false;
    Header current = Header::kNone;
};

void SetBounded(CString& field, std::string_view text)
{
    field = CString(text.substr(0, kMaxIndexFieldText));
}

void AppendBounded(CString& field, std::string_view text)
{
    std::size_t have = static_cast<std::size_t>(field.GetLength());
    if (have >= kMaxIndexFieldText)
        return;
    std::size_t n = std::min(text.size(), kMaxIndexFieldText - have);
    field.Append(text.data(), static_cast<int>(n));
}

// Message-ID / In-Reply-To: every leading "<" and every trailing ">" removed.
void SetIdText(CString& field, std::string_view text)
{
    std::size_t first = 0;
    while (first < text.size() && text[first] == '<')
        ++first;
    std::size_t last = text.size();
    while (last > first && text[last - 1] == '>')
        --last;
    SetBounded(field, text.substr(first, last - first));
}

CString* FieldOf(Message& m, Header h)
{
    switch (h) {
    case Header::kSubject: return &m.subject;
    case Header::kFrom: return &m.from;
    case Header::kReplyTo: return &m.replyTo;
    case Header::kTo: return &m.to;
    case Header::kCc: return &m.cc;
    case Header::kBcc: return &m.bcc;
    case Header::kDate:
    case Header::kNone: break;
    }
    return nullptr;
}

// A header line of the current message (text after CR removal).
void ScanHeaderLine(Message& m, const Line& line, std::string_view text)
{
    bool colonSpace = line.complete && !line.preTrimmed ? HasColonSpace(text) : line.colonSpace;
    if (colonSpace)
        m.current = Header::kNone;
    bool folded = line.preTrimmed || (!text.empty() && (text[0] == ' ' || text[0] == '\t'));
    if (folded) {
        std::size_t i = 0;
        while (i < text.size() && IsAsciiWhiteSpace(text[i]))
            ++i;
        text.remove_prefix(i);
        if (CString* field = FieldOf(m, m.current))
            AppendBounded(*field, text);
    }

    struct Test {
        std::string_view prefix;   // lower case
        Header header;
    };
    static constexpr Test kValueHeaders[] = {
        {"from: ", Header::kFrom}, {"subject: ", Header::kSubject}, {"to: ", Header::kTo},
        {"cc: ", Header::kCc},     {"bcc: ", Header::kBcc},         {"reply-to: ", Header::kReplyTo},
        {"date: ", Header::kDate},
    };
    for (const Test& t : kValueHeaders) {
        if (!AsciiStartsNoCase(text, t.prefix))
            continue;
        std::string_view rest = text.substr(t.prefix.size());
        if (t.header == Header::kDate)
            SetBounded(m.date, rest);
        else
            SetBounded(*FieldOf(m, t.header), rest);
        if (t.header == Header::kSubject || t.header == Header::kDate)
            m.headerSeen = true;
        m.current = t.header;
        return;
    }
    if (text.substr(0, 12) == "X-Status: AR") {
        m.flags |= kIndexFlagXStatusAR;
        m.current = Header::kNone;
    } else if (AsciiStartsNoCase(text, "content-type: multipart/mixed")) {
        m.flags |= kIndexFlagMultipartMixed;
        m.current = Header::kNone;
    } else if (AsciiStartsNoCase(text, "message-id: ")) {
        SetIdText(m.messageId, text.substr(12));
        m.current = Header::kNone;
    } else if (AsciiStartsNoCase(text, "in-reply-to: ")) {
        SetIdText(m.inReplyTo, text.substr(13));
        m.current = Header::kNone;
    } else if (text.empty() && line.complete && m.headerSeen) {
        m.inBody = true;
    }
}

std::unique_ptr<CMailIndexData> FinishMessage(Message& m, DWORD number, DWORD start, DWORD end)
{
    DecodeHeaderValue(m.from, m.from);
    DecodeHeaderValue(m.subject, m.subject);
    DecodeHeaderValue(m.to, m.to);
    DecodeHeaderValue(m.cc, m.cc);

    DWORD flags = m.flags & ~kIndexFlagSeveralRecipients;
    if (HasRecipientComma(m.to) || HasRecipientComma(m.cc) || (!m.to.IsEmpty() && !m.cc.IsEmpty()))
        flags |= kIndexFlagSeveralRecipients;
    flags |= kIndexFlagRebuilt;

    auto record = std::make_unique<CMailIndexData>();
    record->m_nNumber = number;
    record->m_strSubject = std::move(m.subject);
    record->m_strFrom = std::move(m.from);
    record->m_strTo = std::move(m.to);
    record->m_strCc = std::move(m.cc);
    record->m_strBcc = std::move(m.bcc);
    record->m_strReplyTo = std::move(m.replyTo);
    record->m_strDate = std::move(m.date);
    record->m_strMessageId = std::move(m.messageId);
    record->m_strInReplyTo = std::move(m.inReplyTo);
    record->m_dwFlags = flags;
    record->m_dwStart = start;
    record->m_dwEnd = end;
    CString domain = CString("@") + kOwnMailDomain;
    record->m_dwMark = record->m_strFrom.Find(domain) >= 0 ? kIndexMarkOwnService : 0;
    m = Message();
    return record;
}

// Reads lines out of the source through one buffer of blockSize bytes.
class LineReader {
public:
    LineReader(CStorageSource& source, std::size_t blockSize)
        : m_source(source), m_length(source.Length()), m_block(BlockFor(blockSize, m_length)), m_buffer(m_block)
    {
    }

    // A small storage gets a buffer of its own size (plus one byte, so that
    // the first read already finds the end).
    static std::size_t BlockFor(std::size_t blockSize, std::uint64_t length)
    {
        return static_cast<std::size_t>(std::max<std::uint64_t>(1, std::min<std::uint64_t>(blockSize, length + 1)));
    }

    std::uint64_t Length() const { return m_length; }
    // True when a read gave fewer bytes than the storage holds there.
    bool Failed() const { return m_failed; }

    // The line that begins at pos; after receives the position after its LF
    // (or after its last byte at the end). False when no line is left.
    bool Next(std::uint64_t pos, Line& line, std::uint64_t& after)
    {
        line = Line();
        if (!Cover(pos))
            return false;
        std::size_t at = static_cast<std::size_t>(pos - m_start);
        for (;;) {
            const char* base = m_buffer.data();
            const void* lf = std::memchr(base + at, '\n', m_size - at);
            if (lf) {
                std::size_t end = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
                line.text = std::string_view(base + at, end - at);
                after = m_start + end + 1;
                return true;
            }
            if (m_exhausted) {
                // The last line has no LF.
                line.text = std::string_view(base + at, m_size - at);
                after = m_start + m_size;
                return true;
            }
            if (at == 0)
                break;   // a line longer than the buffer
            if (!Load(pos))
                return false;
            at = 0;
        }
        ReadLongLine(line, after);
        return true;
    }

    // The byte at pos, or -1 beyond the end.
    int Peek(std::uint64_t pos)
    {
        if (!Cover(pos))
            return -1;
        return static_cast<unsigned char>(m_buffer[static_cast<std::size_t>(pos - m_start)]);
    }

private:
    // Makes the buffer hold pos. False when pos is at or past the end.
    bool Cover(std::uint64_t pos)
    {
        if (pos >= m_start && pos - m_start < m_size)
            return true;
        return Load(pos);
    }

    // After a failed read nothing more is loaded.
    bool Load(std::uint64_t pos)
    {
        m_start = pos;
        m_size = 0;
        if (m_failed)
            return false;
        while (m_size < m_block) {
            std::size_t got = m_source.ReadAt(pos + m_size, m_buffer.data() + m_size, m_block - m_size);
            if (got == 0)
                break;
            m_size += got;
        }
        m_exhausted = m_size < m_block;
        if (m_exhausted && pos + m_size < m_length) {
            m_failed = true;   // short of the end: a read error
            m_size = 0;
            return false;
        }
        return m_size > 0;
    }

    // The buffer starts at the line and holds no LF: walks the line block by
    // block, keeping its first kMaxIndexFieldText bytes (after leading white
    // space, when it begins with SPACE or TAB) and noting ": ".
    void ReadLongLine(Line& line, std::uint64_t& after)
    {
        m_long.clear();
        line.preTrimmed = m_buffer[0] == ' ' || m_buffer[0] == '\t';
        bool skipping = line.preTrimmed;
        bool complete = true;
        bool colonSpace = false;
        char previous = 0;
        for (;;) {
            const char* base = m_buffer.data();
            const void* lf = std::memchr(base, '\n', m_size);
            std::size_t n = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - base) : m_size;
            std::string_view chunk(base, n);
            if (!colonSpace && ((previous == ':' && !chunk.empty() && chunk[0] == ' ') || HasColonSpace(chunk)))
                colonSpace = true;
            if (!chunk.empty())
                previous = chunk.back();
            if (skipping) {
                std::size_t i = 0;
                while (i < chunk.size() && IsAsciiWhiteSpace(chunk[i]))
                    ++i;
                chunk.remove_prefix(i);
                if (!chunk.empty())
                    skipping = false;
            }
            std::size_t room = kMaxIndexFieldText - std::min(kMaxIndexFieldText, m_long.size());
            if (chunk.size() > room)
                complete = false;
            m_long.append(chunk.data(), std::min(room, chunk.size()));
            if (lf) {
                after = m_start + n + 1;
                break;
            }
            after = m_start + m_size;
            if (m_exhausted || !Load(m_start + m_size))
                break;
        }
        line.text = m_long;
        line.complete = complete;
        line.colonSpace = colonSpace;
    }

    CStorageSource& m_source;
    std::uint64_t m_length;
    std::size_t m_block;
    std::vector<char> m_buffer;
    std::uint64_t m_start = 0;
    std::size_t m_size = 0;
    bool m_exhausted = false;
    bool m_failed = false;
    std::string m_long;
};

}  // namespace

StorageScanResult ScanMessageStorage(CStorageSource& source, std::uint64_t startOffset, DWORD firstNumber,
                                     CMailIndexList& records, std::size_t blockSize)
{
    const std::size_t before = records.size();
    bool tooLong = false;
    LineReader reader(source, blockSize);
    const std::uint64_t length = reader.Length();
    DWORD number = firstNumber;
    std::uint64_t start = startOffset;   // of the current message
    std::uint64_t pos = startOffset;
    Message m;
    Line line;
    std::uint64_t after = 0;
    while (reader.Next(pos, line, after)) {
        std::string_view text = line.text;
        if (line.complete && !text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        bool isDot = line.complete && !line.preTrimmed && text == ".";
        if (!m.inBody)
            ScanHeaderLine(m, line, text);
        pos = after;
        bool last = after == length;
        if (!(m.inBody && isDot) && !last)
            continue;

        // The message ends with this line.
        if (after > 0xFFFFFFFFu) {
            tooLong = true;   // beyond what a 32-bit index offset can locate
            break;
        }
        records.push_back(FinishMessage(m, number, static_cast<DWORD>(start), static_cast<DWORD>(after)));
        ++number;
        if (last)
            continue;
        // One empty line may follow the "." line; a line beginning with CR is
        // skipped as that line.
        start = reader.Peek(after) == '\r' ? after + 2 : after;
        pos = start;
    }
    if (tooLong || reader.Failed() || source.Failed()) {
        // Records of some of the messages would pass for all of them.
        records.erase(records.begin() + static_cast<std::ptrdiff_t>(before), records.end());
        return StorageScanResult{firstNumber, false};
    }
    return StorageScanResult{number, true};
}

std::uint64_t SkipEmptyLines(CStorageSource& source, std::uint64_t offset)
{
    const std::uint64_t length = source.Length();
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(64 * 1024, length + 1)));
    while (offset < length) {
        std::size_t got = source.ReadAt(offset, buffer.data(), buffer.size());
        std::size_t i = 0;
        while (i < got) {
            if (buffer[i] == '\n') {
                ++i;
            } else if (buffer[i] != '\r') {
                return offset + i;
            } else if (i + 1 < got) {
                if (buffer[i + 1] != '\n')
                    return offset + i;
                i += 2;
            } else if (offset + i + 1 == length) {
                return length;   // a lone CR ends the storage
            } else {
                break;           // CR at the block's end: read on from it
            }
        }
        if (i == 0)
            return offset;       // read error
        offset += i;
    }
    return offset;
}

bool HasRecipientComma(const CString& text)
{
    int from = 0;
    if (text.GetAt(0) == '"') {
        from = text.Find('"', 1);
        if (from < 0)
            return false;
    }
    return text.Find(',', from) >= 0;
}

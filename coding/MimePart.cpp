// MIME part tree: windowed reader (file or memory), header reading,
// multipart splitting and body lines.
#include "coding/MimePart.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "framework/File.h"

namespace {

constexpr int CR = '\r';
constexpr int LF = '\n';

// Largest file the 32-bit offsets can describe, with room for "end + 2".
constexpr std::int64_t kMaxMimeFileSize = INT_MAX - 4;

}  // namespace

// ---- CMimeSource -------------------------------------------------------------

CMimeSource CMimeSource::File(const CString& path)
{
    CMimeSource source;
    source.m_strPath = path;
    return source;
}

CMimeSource CMimeSource::Memory(const char* data, std::size_t size, bool windowed)
{
    CMimeSource source;
    source.m_pData = reinterpret_cast<const unsigned char*>(data);
    source.m_nSize = size;
    source.m_bMemory = true;
    source.m_bWindowed = windowed;
    return source;
}

// ---- Windows of a memory block or a file ------------------------------------

namespace {

// A block in memory: one window, or aligned windows of kMimeWindowSize.
class CMemoryWindows final : public CMimeWindows {
public:
    CMemoryWindows(const unsigned char* data, std::size_t size, bool windowed)
        : m_pData(data), m_nSize(size), m_bWindowed(windowed)
    {
    }

    std::int64_t Size() const override { return static_cast<std::int64_t>(m_nSize); }

    std::uint32_t Load(std::int64_t pos, std::int64_t& start, const unsigned char*& data) override
    {
        start = m_bWindowed ? pos / kMimeWindowSize * kMimeWindowSize : 0;
        data = m_pData + start;
        const std::size_t rest = m_nSize - static_cast<std::size_t>(start);
        return static_cast<std::uint32_t>(std::min<std::size_t>(rest, m_bWindowed ? kMimeWindowSize : UINT32_MAX));
    }

    const unsigned char* Block() const override { return m_bWindowed ? nullptr : m_pData; }

private:
    const unsigned char* m_pData;
    std::size_t m_nSize;
    bool m_bWindowed;
};

// A file: the window lies inside a read-ahead block: reads start at a window
// boundary and double in size (up to kMimeReadAhead) while the file is read
// in order, so a sequential scan makes few system calls while a small part
// still reads one window.
class CFileWindows final : public CMimeWindows {
public:
    bool Open(const char* path)
    {
        if (!m_file.Open(path, CFile::modeRead | CFile::typeBinary))
            return false;
        m_nSize = static_cast<std::int64_t>(m_file.GetLength());
        return true;
    }

    std::int64_t Size() const override { return m_nSize; }

    std::uint32_t Load(std::int64_t pos, std::int64_t& start, const unsigned char*& data) override
    {
        start = pos / kMimeWindowSize * kMimeWindowSize;
        const std::int64_t blockEnd = m_nBlockStart + m_dwBlockValid;
        if (m_bHaveBlock && start >= m_nBlockStart && start < blockEnd) {
            data = m_block.data() + (start - m_nBlockStart);
            return static_cast<std::uint32_t>(std::min<std::int64_t>(kMimeWindowSize, blockEnd - start));
        }
        const bool sequential = m_bHaveBlock && start == blockEnd && m_dwBlockValid == static_cast<std::uint32_t>(m_nReadSize);
        m_nReadSize = sequential ? std::min(m_nReadSize * 2, kMimeReadAhead) : kMimeWindowSize;
        if (m_block.size() < static_cast<std::size_t>(m_nReadSize))
            m_block.resize(static_cast<std::size_t>(m_nReadSize));
        m_bHaveBlock = false;
        m_dwBlockValid = 0;
        if (m_nFilePos != start) {
            if (m_file.Seek(start, CFile::begin) != start) {
                m_nStatus = kMimeSeekFailed;
                m_nFilePos = -1;
                return 0;
            }
            m_nFilePos = start;
        }
        const bool hadError = m_file.HasError();
        const UINT got = m_file.Read(m_block.data(), static_cast<UINT>(m_nReadSize));
        if (!hadError && m_file.HasError()) {
            m_nStatus = kMimeReadFailed;
            m_nFilePos = -1;
            return 0;
        }
        m_nFilePos = start + got;
        m_nBlockStart = start;
        m_dwBlockValid = got;
        m_bHaveBlock = true;
        data = m_block.data();
        return std::min<std::uint32_t>(got, kMimeWindowSize);
    }

private:
    CFile m_file;   // closed with the object (the framework's close cannot fail)
    std::int64_t m_nSize = 0;
    std::vector<unsigned char> m_block;
    std::int64_t m_nBlockStart = 0;
    std::uint32_t m_dwBlockValid = 0;
    bool m_bHaveBlock = false;
    int m_nReadSize = 0;
    std::int64_t m_nFilePos = 0;   // where the next read starts
};

}  // namespace

// ---- CMimeReader ------------------------------------------------------------

CMimeReader::~CMimeReader()
{
    Close();
}

int CMimeReader::Open(const CMimeSource& source)
{
    Close();
    m_nStatus = kMimeReadOk;
    if (source.m_bMemory) {
        if (source.m_pData == nullptr && source.m_nSize > 0) {
            m_nStatus = kMimeOpenFailed;
            return m_nStatus;
        }
        m_pSource = std::make_unique<CMemoryWindows>(source.m_pData, source.m_nSize, source.m_bWindowed);
    } else {
        auto file = std::make_unique<CFileWindows>();
        if (!file->Open(source.m_strPath)) {
            m_nStatus = kMimeOpenFailed;
            return m_nStatus;
        }
        m_pSource = std::move(file);
    }
    m_nSize = m_pSource->Size();
    return m_nStatus;
}

void CMimeReader::Close()
{
    m_pSource.reset();
    m_nSize = 0;
    m_pWindow = nullptr;
    m_nWindowStart = 0;
    m_dwValid = 0;
}

bool CMimeReader::MoveWindow(std::int64_t pos)
{
    if (!m_pSource || pos < 0 || pos >= m_nSize)
        return false;
    m_dwValid = 0;
    std::int64_t start = 0;
    const unsigned char* data = nullptr;
    const std::uint32_t length = m_pSource->Load(pos, start, data);
    if (length == 0) {
        m_nStatus = m_pSource->GetStatus();
        return false;
    }
    m_pWindow = data;
    m_nWindowStart = start;
    m_dwValid = length;
    return pos - start < static_cast<std::int64_t>(length);
}

int CMimeReader::GetByteSlow(std::int64_t pos)
{
    return MoveWindow(pos) ? m_pWindow[pos - m_nWindowStart] : -1;
}

int CMimeReader::GetSpanSlow(std::int64_t pos, const unsigned char** data)
{
    if (!MoveWindow(pos))
        return 0;
    const std::int64_t off = pos - m_nWindowStart;
    *data = m_pWindow + off;
    return static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(m_dwValid) - off, INT_MAX));
}

// ---- CMimePart --------------------------------------------------------------

CMimePart::CMimePart(CMimePart* parent, const CMimeSource& source, int start, int end)
    : m_source(source), m_nStart(start), m_nEnd(end), m_pParent(parent)
{
    if (parent)
        m_nDepth = parent->m_nDepth + 1;
}

CMimePart::CMimePart(CMimePart* parent, const CString& path, int start, int end)
    : CMimePart(parent, CMimeSource::File(path), start, end)
{
}

CMimePart::~CMimePart()
{
    Close();
    // Siblings are freed in a loop: a long chain must not recurse.
    CMimePart* child = m_pFirstChild;
    while (child) {
        CMimePart* next = child->m_pNextSibling;
        child->m_pNextSibling = nullptr;
        delete child;
        child = next;
    }
}

CMimePart* CMimePart::Root()
{
    CMimePart* p = this;
    while (p->m_pParent)
        p = p->m_pParent;
    return p;
}

int CMimePart::Open()
{
    return m_reader.Open(m_source) == kMimeReadOk ? 1 : 0;
}

void CMimePart::Close()
{
    m_reader.Close();
}

int CMimePart::Parse()
{
    if (!m_reader.IsOpen())
        return 0;
    const std::int64_t size = m_reader.GetFileSize();
    if (size > kMaxMimeFileSize)
        return 0;
    if (m_nStart < 0)
        m_nStart = 0;
    if (m_nEnd < 0)
        m_nEnd = static_cast<int>(size);
    // A field that fails to parse ends the header early; the part is kept
    // all the same (with what the header gave), so that its text is not lost.
    ParseHeader();
    if (m_strType.CompareNoCase("multipart") != 0)
        return 1;
    if (m_nDepth >= kMaxMimeDepth)
        return 1;   // too deep: kept whole as a leaf
    return ParseMultipart() == 1 ? 1 : 0;
}

int CMimePart::ParseHeader()
{
    m_nCursor = m_nStart;
    bool sawType = false;
    bool sawEncoding = false;
    CString field;
    while (ReadHeaderField(field) && !field.IsEmpty()) {
        if (IsHeaderField(field, "MIME-Version")) {
            if (!ParseMimeVersion(field, *this))
                return 0;
        } else if (IsHeaderField(field, "Content-Type")) {
            // The first Content-Type counts, as for common mail readers; one
            // that is not "type/subtype" makes the part text/plain and does
            // not end the header.
            if (!sawType)
                ParseContentType(field, *this);
            sawType = true;
        } else if (IsHeaderField(field, "Content-Transfer-Encoding")) {
            // The first counts here too.
            if (!sawEncoding && !ParseContentTransferEncoding(field, *this))
                return 0;
            sawEncoding = true;
        } else if (IsHeaderField(field, "Content-Disposition")) {
            if (!ParseContentDisposition(field, *this))
                return 0;
        } else if (IsHeaderField(field, "Content-ID")) {
            ParseContentId(field, *this);
        }
    }
    if (!sawType) {
        m_strType = "text";
        m_strSubtype = "plain";
    }
    if (!sawEncoding)
        m_strEncoding = "7bit";
    return 1;
}

bool CMimePart::ReadHeaderField(CString& field)
{
    field.Empty();
    const int start = m_nCursor;
    int lineEnd;
    for (;;) {
        lineEnd = FindLineEnd();
        if (lineEnd < 0)
            return false;
        m_nCursor = lineEnd + 2;
        if (lineEnd == start)
            break;   // the empty line
        // A following line that begins with a blank continues the field. A
        // line that ran to the part's end has nothing after it.
        const int next = Byte(static_cast<std::int64_t>(lineEnd) + 2);
        if ((next != ' ' && next != '\t') || lineEnd + 2 >= m_nEnd)
            break;
    }
    const std::int64_t length = static_cast<std::int64_t>(lineEnd) - start + 2;
    if (length < 0)
        return false;
    std::string& out = field.Str();
    out.reserve(static_cast<size_t>(length));
    const std::int64_t stop = static_cast<std::int64_t>(start) + length;
    // Copied in runs between CRs; bytes outside the source are absent.
    const std::int64_t to = std::min<std::int64_t>(stop, m_reader.GetFileSize());
    for (std::int64_t p = std::max<std::int64_t>(start, 0); p < to;) {
        const unsigned char* data = nullptr;
        const std::int64_t n = std::min<std::int64_t>(m_reader.GetSpan(p, &data), to - p);
        if (n <= 0) {
            ++p;   // an unreadable byte is left out
            continue;
        }
        const void* cr = std::memchr(data, CR, static_cast<size_t>(n));
        const std::int64_t run = cr ? static_cast<const unsigned char*>(cr) - data : n;
        out.append(reinterpret_cast<const char*>(data), static_cast<size_t>(run));
        p += run;
        if (!cr)
            continue;
        // A CR with its LF (inside the field) goes; a lone CR stays.
        const bool pair = p + 1 < stop && Byte(p + 1) == LF;
        if (!pair)
            out.push_back(static_cast<char>(CR));
        p += pair ? 2 : 1;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\t'))
        out.pop_back();
    return true;
}

int CMimePart::FindLineEnd()
{
    // The first LF after the cursor with a CR before it and no tab after it.
    const std::int64_t stop = std::min<std::int64_t>(m_nEnd, m_reader.GetFileSize());
    std::int64_t p = std::max<std::int64_t>(static_cast<std::int64_t>(m_nCursor) + 1, 1);
    int prev = p < stop ? Byte(p - 1) : -1;   // the byte before p
    while (p < stop) {
        const unsigned char* data = nullptr;
        const std::int64_t n = std::min<std::int64_t>(m_reader.GetSpan(p, &data), stop - p);
        if (n <= 0) {
            ++p;   // an unreadable byte is no LF
            prev = -1;
            continue;
        }
        const void* lf = std::memchr(data, LF, static_cast<size_t>(n));
        if (!lf) {
            p += n;
            prev = data[n - 1];
            continue;
        }
        const std::int64_t k = static_cast<const unsigned char*>(lf) - data;
        const std::int64_t at = p + k;
        if ((k > 0 ? data[k - 1] : prev) == CR && Byte(at + 1) != '\t')
            return static_cast<int>(at - 1);
        p = at + 1;
        prev = LF;
    }
    return m_nEnd - 2;
}

bool CMimePart::Matches(std::int64_t pos, const unsigned char* bytes, std::int64_t length)
{
    while (length > 0) {
        const unsigned char* data = nullptr;
        const std::int64_t n = std::min<std::int64_t>(m_reader.GetSpan(pos, &data), length);
        if (n <= 0 || std::memcmp(data, bytes, static_cast<size_t>(n)) != 0)
            return false;
        pos += n;
        bytes += n;
        length -= n;
    }
    return true;
}

int CMimePart::FindPattern(const CString& pattern)
{
    const std::int64_t m = pattern.GetLength();
    if (m == 0)
        return m_nCursor;
    const unsigned char* const pat = reinterpret_cast<const unsigned char*>(pattern.GetString());
    // Candidates begin from the cursor less the pattern's length - 1 up to
    // where the whole match still ends before the part's end and inside the
    // source. Each window is searched for the pattern's first byte; a
    // candidate that runs past the window's edge is compared on beyond it.
    const std::int64_t last = std::min<std::int64_t>(m_nEnd, m_reader.GetFileSize()) - m;
    for (std::int64_t p = std::max<std::int64_t>(static_cast<std::int64_t>(m_nCursor) - m + 1, 0); p <= last;) {
        const unsigned char* data = nullptr;
        const std::int64_t n = m_reader.GetSpan(p, &data);
        if (n <= 0) {
            ++p;   // an unreadable byte matches nothing
            continue;
        }
        const unsigned char* const stop = data + std::min(n, last - p + 1);   // candidates in this window
        std::int64_t next = stop - data;
        for (const unsigned char* c = data; c < stop; ++c) {
            c = static_cast<const unsigned char*>(std::memchr(c, pat[0], static_cast<size_t>(stop - c)));
            if (!c)
                break;
            const std::int64_t at = c - data;
            const std::int64_t inWindow = std::min(n - at, m);
            // The last byte in the window first: it tells most near misses apart.
            if (c[inWindow - 1] != pat[inWindow - 1] || std::memcmp(c + 1, pat + 1, static_cast<size_t>(inWindow - 1)) != 0)
                continue;
            if (inWindow == m || Matches(p + at + inWindow, pat + inWindow, m - inWindow)) {
                m_nCursor = static_cast<int>(p + at + m);
                return static_cast<int>(p + at);
            }
            next = at + 1;   // the window has moved: look it up again
            break;
        }
        p += next;
    }
    return -1;
}

int CMimePart::DelimiterLineEnd(bool& closing)
{
    // Bytes at or beyond the part's end are not on the line.
    const std::int64_t end = m_nEnd;
    auto at = [&](std::int64_t pos) { return pos < end ? Byte(pos) : -1; };
    std::int64_t q = m_nCursor;
    closing = at(q) == '-' && at(q + 1) == '-';
    if (closing)
        q += 2;
    while (at(q) == ' ' || at(q) == '\t')
        ++q;
    if (q >= end)
        return m_nEnd;
    return at(q) == CR && at(q + 1) == LF ? static_cast<int>(q) : -1;
}

int CMimePart::ParseMultipart()
{
    const CMimeParam* boundary = m_params.Find("boundary");
    if (!boundary)
        return 0;
    const CString pattern = CString("\r\n--") + boundary->m_strValue;
    CMimePart* root = Root();
    CMimePart* last = nullptr;
    int bodyStart = -1;
    bool closed = false;

    for (int p = FindPattern(pattern); p >= 0; p = FindPattern(pattern)) {
        bool closing = false;
        const int lineEnd = DelimiterLineEnd(closing);
        if (lineEnd < 0)
            continue;   // "--boundary" begins a longer line: no delimiter
        const int next = lineEnd < m_nEnd ? lineEnd + 2 : m_nEnd;
        if (next == m_nEnd)
            closing = true;
        if (bodyStart < 0) {
            if (closing)
                return 0;   // no body part at all
        } else {
            if (root->m_nPartCount >= kMaxMimeParts) {
                closed = true;   // enough parts: stop as if closed
                break;
            }
            CMimePart* child = new CMimePart(this, m_source, bodyStart, p);
            ++root->m_nPartCount;
            if (last)
                last->m_pNextSibling = child;
            else
                m_pFirstChild = child;
            last = child;
        }
        bodyStart = static_cast<int>(next);
        if (closing) {
            closed = true;
            break;
        }
    }
    if (!closed)
        return 0;

    for (CMimePart* child = m_pFirstChild; child; child = child->m_pNextSibling) {
        if (!child->Open() || !child->Parse())
            return 0;
        child->Close();
    }
    return 1;
}

int CMimePart::ReadFirstLine(char* buffer, int capacity)
{
    m_nCursor = m_nStart;
    return ReadLine(buffer, capacity);
}

int CMimePart::ReadFirstLine(char* buffer, int capacity, const char** line)
{
    m_nCursor = m_nStart;
    return ReadLine(buffer, capacity, line);
}

int CMimePart::ReadLine(char* buffer, int capacity, const char** line)
{
    if (m_nCursor >= m_nEnd || buffer == nullptr || capacity < 2)
        return -1;
    const int limit = capacity - 1;
    // The byte before the cursor decides whether a leading LF ends the line.
    int prev = m_nCursor > m_nStart ? Byte(static_cast<std::int64_t>(m_nCursor) - 1) : -1;
    const char* text = nullptr;   // the line: in its window, or in buffer once it crosses an edge
    int length = 0;
    while (length < limit && m_nCursor < m_nEnd) {
        const unsigned char* data = nullptr;
        const int avail = std::min({m_reader.GetSpan(m_nCursor, &data), m_nEnd - m_nCursor, limit - length});
        if (avail <= 0) {
            m_nCursor = m_nEnd;   // unreadable: the part ends here
            break;
        }
        int n = avail;
        bool lineDone = false;
        for (int from = 0; from < avail;) {
            const void* hit = std::memchr(data + from, LF, static_cast<size_t>(avail - from));
            if (!hit)
                break;
            const int at = static_cast<int>(static_cast<const unsigned char*>(hit) - data);
            if ((at > 0 ? data[at - 1] : prev) == CR) {
                n = at + 1;
                lineDone = true;
                break;
            }
            from = at + 1;
        }
        if (length == 0) {
            text = reinterpret_cast<const char*>(data);
        } else {
            if (text != buffer) {
                std::memcpy(buffer, text, static_cast<size_t>(length));
                text = buffer;
            }
            std::memcpy(buffer + length, data, static_cast<size_t>(n));
        }
        length += n;
        m_nCursor += n;
        prev = data[n - 1];
        if (lineDone)
            break;
        // The next window may take the place of this one's bytes (a block's
        // one window stays where it is).
        if (text != buffer && length < limit && m_nCursor < m_nEnd && !m_reader.GetMemory()) {
            std::memcpy(buffer, text, static_cast<size_t>(length));
            text = buffer;
        }
    }
    if (length == 0)
        return -1;
    *line = text;
    return length;
}

int CMimePart::ReadLine(char* buffer, int capacity)
{
    const char* line = nullptr;
    const int n = ReadLine(buffer, capacity, &line);
    if (n >= 0) {
        if (line != buffer)
            std::memcpy(buffer, line, static_cast<size_t>(n));
        buffer[n] = '\0';
    }
    return n;
}

// ---- CMimeMessage -----------------------------------------------------------

CMimeMessage::~CMimeMessage()
{
    delete m_pRoot;
}

int CMimeMessage::Parse(const char* path)
{
    return ParseSource(CMimeSource::File(CString(path)));
}

int CMimeMessage::ParseMemory(const char* data, std::size_t size)
{
    return ParseSource(CMimeSource::Memory(data, size));
}

int CMimeMessage::ParseSource(const CMimeSource& source)
{
    if (m_pRoot)
        return 0;
    m_pRoot = new CMimePart(nullptr, source, 0, -1);
    if (!m_pRoot->Open())
        return 0;
    if (!m_pRoot->Parse())
        return 0;   // the root stays open until the message is destroyed
    m_pRoot->Close();
    return 1;
}

CMimePart* CMimeMessage::FirstLeaf()
{
    m_pCurrent = m_pRoot;
    while (m_pCurrent && m_pCurrent->GetFirstChild())
        m_pCurrent = m_pCurrent->GetFirstChild();
    return m_pCurrent;
}

// MIME part tree: windowed reader (file or memory), header reading,
// multipart splitting and body lines.
#include "coding/MimePart.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

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

CMimeSource CMimeSource::Memory(const char* data, std::size_t size)
{
    CMimeSource source;
    source.m_pData = reinterpret_cast<const unsigned char*>(data);
    source.m_nSize = size;
    source.m_bMemory = true;
    return source;
}

// ---- CMimeFileReader --------------------------------------------------------

CMimeFileReader::CMimeFileReader(int windowSize)
    : m_nWindowSize(windowSize > 0 ? windowSize : kMimeWindowSize)
{
}

CMimeFileReader::~CMimeFileReader()
{
    Close();
}

int CMimeFileReader::Open(const char* path)
{
    if (m_bOpen)
        Close();
    m_nStatus = kMimeReadOk;
    if (!m_file.Open(path, CFile::modeRead | CFile::typeBinary)) {
        m_nStatus = kMimeOpenFailed;
        return m_nStatus;
    }
    m_pWindow = nullptr;
    m_nBlockStart = 0;
    m_dwBlockValid = 0;
    m_nReadSize = 0;
    m_nWindowStart = 0;
    m_dwValid = 0;
    m_bLoaded = false;
    m_nFilePos = 0;
    m_bOpen = 1;
    return m_nStatus;
}

int CMimeFileReader::OpenMemory(const unsigned char* data, std::size_t size)
{
    if (m_bOpen)
        Close();
    m_nStatus = kMimeReadOk;
    if (data == nullptr && size > 0) {
        m_nStatus = kMimeOpenFailed;
        return m_nStatus;
    }
    m_pMemory = data;
    m_nMemorySize = size;
    m_bMemory = true;
    // The window is the whole block (as far as its 32-bit count reaches).
    m_pWindow = data;
    m_nWindowStart = 0;
    m_dwValid = static_cast<std::uint32_t>(std::min<std::size_t>(size, UINT32_MAX));
    m_bLoaded = true;
    m_bOpen = 1;
    return m_nStatus;
}

int CMimeFileReader::Open(const CMimeSource& source)
{
    return source.m_bMemory ? OpenMemory(source.m_pData, source.m_nSize) : Open(source.m_strPath);
}

int CMimeFileReader::Close()
{
    if (m_file.IsOpen())
        m_file.Close();   // the framework's close cannot fail (-6 stays unused)
    m_bOpen = 0;
    m_bLoaded = false;
    m_dwValid = 0;
    m_pWindow = nullptr;
    m_pMemory = nullptr;
    m_nMemorySize = 0;
    m_bMemory = false;
    m_dwBlockValid = 0;
    m_block.clear();
    m_block.shrink_to_fit();
    return m_nStatus;
}

std::int64_t CMimeFileReader::GetFileSize() const
{
    if (!m_bOpen)
        return 0;
    return m_bMemory ? static_cast<std::int64_t>(m_nMemorySize) : static_cast<std::int64_t>(m_file.GetLength());
}

bool CMimeFileReader::MoveWindow(std::int64_t pos)
{
    const std::int64_t start = pos / m_nWindowSize * m_nWindowSize;
    m_bLoaded = false;
    m_dwValid = 0;
    m_nWindowStart = start;
    const std::int64_t blockEnd = m_nBlockStart + m_dwBlockValid;
    if (m_pWindow && start >= m_nBlockStart && start < blockEnd) {
        m_pWindow = m_block.data() + (start - m_nBlockStart);
        m_dwValid = static_cast<std::uint32_t>(std::min<std::int64_t>(m_nWindowSize, blockEnd - start));
        m_bLoaded = true;
        return true;
    }
    const bool sequential = m_pWindow && start == blockEnd && m_dwBlockValid == static_cast<std::uint32_t>(m_nReadSize);
    m_nReadSize = sequential ? std::min(m_nReadSize * 2, std::max(kMimeReadAhead, m_nWindowSize)) : m_nWindowSize;
    if (m_block.size() < static_cast<size_t>(m_nReadSize))
        m_block.resize(static_cast<size_t>(m_nReadSize));
    m_pWindow = nullptr;
    m_dwBlockValid = 0;
    if (m_nFilePos != start) {
        if (m_file.Seek(start, CFile::begin) != start) {
            m_nStatus = kMimeSeekFailed;
            m_nFilePos = -1;
            return false;
        }
        m_nFilePos = start;
    }
    const bool hadError = m_file.HasError();
    const UINT got = m_file.Read(m_block.data(), static_cast<UINT>(m_nReadSize));
    if (!hadError && m_file.HasError()) {
        m_nStatus = kMimeReadFailed;
        m_nFilePos = -1;
        return false;
    }
    if (got < static_cast<UINT>(m_nReadSize))
        std::memset(m_block.data() + got, 0, static_cast<size_t>(m_nReadSize) - got);
    m_nFilePos = start + got;
    m_nBlockStart = start;
    m_dwBlockValid = got;
    m_pWindow = m_block.data();
    m_dwValid = std::min<std::uint32_t>(got, static_cast<std::uint32_t>(m_nWindowSize));
    m_bLoaded = true;
    return true;
}

int CMimeFileReader::GetByteSlow(std::int64_t pos)
{
    if (pos < 0 || !m_bOpen)
        return -1;
    if (m_bMemory)
        return static_cast<std::uint64_t>(pos) < m_nMemorySize ? m_pMemory[pos] : -1;
    const std::int64_t off = pos - m_nWindowStart;
    if (m_bLoaded && off >= 0 && off < m_nWindowSize)
        return -1;   // inside the window but beyond the file's end
    if (!MoveWindow(pos))
        return -1;
    const std::int64_t o = pos - m_nWindowStart;
    return o < static_cast<std::int64_t>(m_dwValid) ? m_pWindow[o] : -1;
}

int CMimeFileReader::GetSpan(std::int64_t pos, const unsigned char** data)
{
    if (GetByte(pos) < 0)
        return 0;
    if (m_bMemory) {
        *data = m_pMemory + pos;
        return static_cast<int>(std::min<std::uint64_t>(m_nMemorySize - static_cast<std::uint64_t>(pos), INT_MAX));
    }
    const std::int64_t off = pos - m_nWindowStart;
    *data = m_pWindow + off;
    return static_cast<int>(m_dwValid - off);
}

// ---- CMimePart --------------------------------------------------------------

CMimePart::CMimePart(CMimePart* parent, const CMimeSource& source, int start, int end)
    : m_source(source), m_reader(kMimeWindowSize), m_nStart(start), m_nEnd(end), m_pParent(parent)
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
            sawType = true;
            if (!ParseContentType(field, *this))
                return 0;
        } else if (IsHeaderField(field, "Content-Transfer-Encoding")) {
            sawEncoding = true;
            if (!ParseContentTransferEncoding(field, *this))
                return 0;
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
    if (const unsigned char* data = m_reader.GetMemory()) {
        // The same copy in runs between CRs; bytes outside the block are
        // absent.
        const std::int64_t from = std::max<std::int64_t>(start, 0);
        const std::int64_t to = std::min<std::int64_t>(stop, m_reader.GetFileSize());
        const char* const text = reinterpret_cast<const char*>(data);
        for (std::int64_t p = from; p < to;) {
            const void* cr = std::memchr(text + p, CR, static_cast<size_t>(to - p));
            const std::int64_t at = cr ? static_cast<const char*>(cr) - text : to;
            out.append(text + p, static_cast<size_t>(at - p));
            if (at == to)
                break;
            // A CR with its LF (inside the field) goes; a lone CR stays.
            const bool pair = at + 1 < stop && at + 1 < m_reader.GetFileSize() && text[at + 1] == LF;
            if (!pair)
                out.push_back(static_cast<char>(CR));
            p = at + (pair ? 2 : 1);
        }
    } else {
        for (std::int64_t p = start; p < stop; ++p) {
            const int b = Byte(p);
            if (b == CR && p + 1 < stop && Byte(p + 1) == LF) {
                ++p;
                continue;
            }
            if (b < 0)
                continue;   // unreadable bytes are left out
            out.push_back(static_cast<char>(b));
        }
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\t'))
        out.pop_back();
    return true;
}

int CMimePart::FindLineEnd()
{
    if (const unsigned char* data = m_reader.GetMemory()) {
        // The first LF after the cursor with a CR before it and no tab after
        // it: what the probing below finds, without looking at every byte.
        const std::int64_t size = m_reader.GetFileSize();
        const std::int64_t stop = std::min<std::int64_t>(m_nEnd, size);
        for (std::int64_t p = std::max<std::int64_t>(static_cast<std::int64_t>(m_nCursor) + 1, 1); p < stop;) {
            const void* lf = std::memchr(data + p, LF, static_cast<size_t>(stop - p));
            if (!lf)
                break;
            p = static_cast<const unsigned char*>(lf) - data;
            if (data[p - 1] == CR && (p + 1 >= size || data[p + 1] != '\t'))
                return static_cast<int>(p - 1);
            ++p;
        }
        return m_nEnd - 2;
    }
    // Probe every second byte: a byte that is neither CR nor LF cannot be the
    // LF of a CR LF, nor its CR if the LF is the next probe's byte.
    std::int64_t p = static_cast<std::int64_t>(m_nCursor) + 1;
    const std::int64_t end = m_nEnd;
    while (p < end) {
        const int b = Byte(p);
        if (b == CR) {
            p += 1;
        } else if (b == LF) {
            if (Byte(p - 1) == CR && Byte(p + 1) != '\t')
                return static_cast<int>(p - 1);
            p += 2;
        } else {
            p += 2;
        }
    }
    return m_nEnd - 2;
}

int CMimePart::FindPattern(const CString& pattern)
{
    const int m = pattern.GetLength();
    if (m == 0)
        return m_nCursor;
    if (const unsigned char* data = m_reader.GetMemory()) {
        // The match's last byte at or after the cursor, the whole match
        // before the part's end and inside the block.
        const std::int64_t from = std::max<std::int64_t>(static_cast<std::int64_t>(m_nCursor) - m + 1, 0);
        const std::int64_t stop = std::min<std::int64_t>(m_nEnd, m_reader.GetFileSize());
        if (stop - from < m)
            return -1;
        const std::string_view text(reinterpret_cast<const char*>(data) + from, static_cast<size_t>(stop - from));
        const std::size_t at = text.find(std::string_view(pattern.GetString(), static_cast<size_t>(m)));
        if (at == std::string_view::npos)
            return -1;
        const std::int64_t first = from + static_cast<std::int64_t>(at);
        m_nCursor = static_cast<int>(first + m);
        return static_cast<int>(first);
    }
    const unsigned char* pat = reinterpret_cast<const unsigned char*>(pattern.GetString());
    // shift[256] stands for an absent byte, which equals no pattern byte.
    int shift[257];
    for (int& v : shift)
        v = m;
    for (int j = 0; j <= m - 2; ++j)
        shift[pat[j]] = m - 1 - j;

    const std::int64_t end = m_nEnd;
    std::int64_t s = m_nCursor;
    while (s < end) {
        int k = 0;
        int c = 0;
        while (k < m) {
            c = Byte(s - k);
            if (c != pat[m - 1 - k])
                break;
            ++k;
        }
        if (k == m) {
            m_nCursor = static_cast<int>(s + 1);
            return static_cast<int>(s - m + 1);
        }
        const int step = shift[c < 0 ? 256 : c] - k;
        s += step > 0 ? step : 1;
    }
    return -1;
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
        bool closing = Byte(m_nCursor) == '-' && Byte(static_cast<std::int64_t>(m_nCursor) + 1) == '-';
        const int lineEnd = FindLineEnd();
        if (lineEnd < 0)
            return 0;
        const std::int64_t next = static_cast<std::int64_t>(lineEnd) + 2;
        if (next > m_nEnd)
            return 0;
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
    const unsigned char* data = m_reader.GetMemory();
    if (!data) {
        *line = buffer;
        return ReadLine(buffer, capacity);
    }
    if (m_nCursor >= m_nEnd || buffer == nullptr || capacity < 2)
        return -1;
    // What the span loop below does for a block, whose span runs to its end.
    const std::int64_t size = m_reader.GetFileSize();
    const std::int64_t cursor = m_nCursor;
    if (cursor < 0 || cursor >= size) {
        m_nCursor = m_nEnd;   // unreadable: the part ends here
        return -1;
    }
    const std::int64_t limit = capacity - 1;
    const std::int64_t avail = std::min({size - cursor, static_cast<std::int64_t>(m_nEnd) - cursor, limit});
    const unsigned char* const text = data + cursor;
    // The byte before the cursor decides whether a leading LF ends the line.
    const int prev = cursor > m_nStart ? data[cursor - 1] : -1;
    std::int64_t n = avail;
    bool lineDone = false;
    for (std::int64_t from = 0; from < avail;) {
        const void* hit = std::memchr(text + from, LF, static_cast<size_t>(avail - from));
        if (!hit)
            break;
        const std::int64_t at = static_cast<const unsigned char*>(hit) - text;
        if ((at > 0 ? text[at - 1] : prev) == CR) {
            n = at + 1;
            lineDone = true;
            break;
        }
        from = at + 1;
    }
    m_nCursor = static_cast<int>(cursor + n);
    if (!lineDone && n < limit && m_nCursor < m_nEnd && m_nCursor >= size)
        m_nCursor = m_nEnd;   // the block ends before the part: so does the part
    *line = reinterpret_cast<const char*>(text);
    return static_cast<int>(n);
}

int CMimePart::ReadLine(char* buffer, int capacity)
{
    if (m_reader.GetMemory()) {
        const char* line = nullptr;
        const int n = ReadLine(buffer, capacity, &line);
        if (n >= 0) {
            std::memcpy(buffer, line, static_cast<size_t>(n));
            buffer[n] = '\0';
        }
        return n;
    }
    if (m_nCursor >= m_nEnd || buffer == nullptr || capacity < 2)
        return -1;
    const int limit = capacity - 1;
    int copied = 0;
    // The byte before the cursor decides whether a leading LF ends the line.
    int prev = m_nCursor > m_nStart ? Byte(static_cast<std::int64_t>(m_nCursor) - 1) : -1;
    while (copied < limit && m_nCursor < m_nEnd) {
        const unsigned char* data = nullptr;
        int avail = m_reader.GetSpan(m_nCursor, &data);
        if (avail <= 0) {
            m_nCursor = m_nEnd;   // unreadable: the part ends here
            break;
        }
        if (avail > m_nEnd - m_nCursor)
            avail = m_nEnd - m_nCursor;
        if (avail > limit - copied)
            avail = limit - copied;
        int n = 0;
        bool lineDone = false;
        while (n < avail) {
            const void* hit = std::memchr(data + n, LF, static_cast<size_t>(avail - n));
            if (!hit) {
                n = avail;
                break;
            }
            const int at = static_cast<int>(static_cast<const unsigned char*>(hit) - data);
            const int before = at > 0 ? data[at - 1] : prev;
            n = at + 1;
            if (before == CR) {
                lineDone = true;
                break;
            }
        }
        std::memcpy(buffer + copied, data, static_cast<size_t>(n));
        copied += n;
        m_nCursor += n;
        prev = data[n - 1];
        if (lineDone)
            break;
    }
    if (copied == 0 && m_nCursor >= m_nEnd)
        return -1;
    buffer[copied] = '\0';
    return copied;
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

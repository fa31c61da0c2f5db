// The MIME part tree of one message that lies in a file of its own or in a
// block of memory.
//
// The message is read in place by one reader, window by window: a file
// through a 1024-byte window aligned to multiples of 1024, backed by a
// bounded read-ahead block (the file is never loaded whole); a memory block
// as one window (nothing is copied), or like a file in 1024-byte windows.
// Delimiters and line ends are found by a fast byte search inside each
// window, joined across window edges, so every source gives the same results
// byte for byte. Nothing is decoded: transfer encodings, encoded words and
// character sets stay as written, and body lines come out as raw bytes.
// Offsets are 32-bit: a message of 2 GB or more does not parse.
//
// Limits on hostile input (a crafted message must not exhaust the stack, the
// open-file limit or memory):
//  - kMaxMimeDepth: a multipart nested this deep below the message is not
//    split; it stays a leaf (its body lines are its raw text, delimiters
//    included) and the parse still succeeds. Keeping the message loses less
//    than failing it, which would leave the whole message out. At most
//    kMaxMimeDepth + 1 readers are open at once.
//  - kMaxMimeParts: once a message holds this many body parts, splitting stops
//    as if the closing delimiter had been met; the parts made so far stay and
//    the parse succeeds.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "coding/MimeHeader.h"
#include "framework/CString.h"

constexpr int kMimeWindowSize = 1024;
constexpr int kMimeReadAhead = 64 * 1024;
constexpr int kMaxMimeDepth = 100;
constexpr int kMaxMimeParts = 10000;

// Reader statuses.
constexpr int kMimeReadOk = 0;
constexpr int kMimeOpenFailed = -3;
constexpr int kMimeReadFailed = -5;
constexpr int kMimeSeekFailed = -7;

// Where the bytes of one message lie: a file (a Windows path), or a block of
// memory that stays unchanged while any part of the parse reads it (the
// source does not own it). A block is one window, unless windowed: then it
// is read in kMimeWindowSize windows as a file is.
struct CMimeSource {
    static CMimeSource File(const CString& path);
    static CMimeSource Memory(const char* data, std::size_t size, bool windowed = false);

    CString m_strPath;                        // the file
    const unsigned char* m_pData = nullptr;   // the memory block
    std::size_t m_nSize = 0;
    bool m_bMemory = false;
    bool m_bWindowed = false;
};

// The bytes of an open source, one window at a time (a file or a memory
// block; the reader makes them from a CMimeSource).
class CMimeWindows {
public:
    virtual ~CMimeWindows() = default;
    // Size of the source in bytes.
    virtual std::int64_t Size() const = 0;
    // The window that holds pos (0 <= pos < Size()): its first byte's
    // position in start, its bytes at data (valid until the next Load);
    // answers its length, or 0 when it could not be read (GetStatus says why).
    virtual std::uint32_t Load(std::int64_t pos, std::int64_t& start, const unsigned char*& data) = 0;
    // The whole source when it is one window in memory, else null.
    virtual const unsigned char* Block() const { return nullptr; }
    int GetStatus() const { return m_nStatus; }

protected:
    int m_nStatus = kMimeReadOk;
};

// Random access to the bytes of one source through its windows.
class CMimeReader {
public:
    CMimeReader() = default;
    ~CMimeReader();
    CMimeReader(const CMimeReader&) = delete;
    CMimeReader& operator=(const CMimeReader&) = delete;

    // Opens the source for reading; answers the status (0, or -3 for a file
    // that cannot be opened or null data with a size). An open reader is
    // closed first.
    int Open(const CMimeSource& source);
    // Closes the file and frees the window; the status stays.
    void Close();
    bool IsOpen() const { return m_pSource != nullptr; }
    int GetStatus() const { return m_nStatus; }
    // Size of the open source in bytes (0 when closed).
    std::int64_t GetFileSize() const { return m_nSize; }

    // The byte at pos as 0..255, or -1 when absent (negative position, beyond
    // the end, the reader closed, or the window could not be read: status -7
    // or -5).
    int GetByte(std::int64_t pos)
    {
        const std::int64_t off = pos - m_nWindowStart;
        if (off >= 0 && off < static_cast<std::int64_t>(m_dwValid))
            return m_pWindow[off];
        return GetByteSlow(pos);
    }

    // Bytes of the window from pos on (at most INT_MAX), with *data pointing
    // at pos, valid until the window moves; 0 when pos is absent. Moves the
    // window like GetByte.
    int GetSpan(std::int64_t pos, const unsigned char** data)
    {
        const std::int64_t off = pos - m_nWindowStart;
        if (off >= 0 && off < static_cast<std::int64_t>(m_dwValid)) {
            *data = m_pWindow + off;
            const std::int64_t n = static_cast<std::int64_t>(m_dwValid) - off;
            return n < INT_MAX ? static_cast<int>(n) : INT_MAX;
        }
        return GetSpanSlow(pos, data);
    }

    // The memory block the reader is open on when the block is its one
    // window (every span then points into it), else null.
    const unsigned char* GetMemory() const { return m_pSource ? m_pSource->Block() : nullptr; }

private:
    int GetByteSlow(std::int64_t pos);
    int GetSpanSlow(std::int64_t pos, const unsigned char** data);
    bool MoveWindow(std::int64_t pos);

    std::unique_ptr<CMimeWindows> m_pSource;
    std::int64_t m_nSize = 0;
    const unsigned char* m_pWindow = nullptr;
    std::int64_t m_nWindowStart = 0;
    std::uint32_t m_dwValid = 0;   // 0: no window
    int m_nStatus = kMimeReadOk;
};

// One MIME entity: the message itself (the root) or one body part. Its header
// facts (type, subtype, parameters, encoding, disposition, content id) are
// empty until parsed.
class CMimePart : public CMimeHeaderFacts {
public:
    // A part of the message in source, from start to end (-1: to the end of
    // the message, fixed when the part is parsed).
    CMimePart(CMimePart* parent, const CMimeSource& source, int start, int end);
    // The same for the message in the file at path.
    CMimePart(CMimePart* parent, const CString& path, int start, int end);
    ~CMimePart();
    CMimePart(const CMimePart&) = delete;
    CMimePart& operator=(const CMimePart&) = delete;

    // Opens the part's file or memory block; 1 when the reader's status is 0,
    // else 0.
    int Open();
    void Close();

    // Reads the header and, for a multipart, the body parts below it. 1 or 0;
    // 0 when the reader is not open, a multipart has no "boundary", no body
    // part or no closing delimiter, or a child fails.
    int Parse();
    // Reads header fields from start to the first empty line and applies the
    // defaults (text/plain, 7bit). Of two Content-Type fields the first
    // counts; one that is not "type/subtype" gives text/plain. 0 when
    // MIME-Version, Content-Transfer-Encoding or Content-Disposition fails to
    // parse: the header ends there and no defaults are applied.
    int ParseHeader();
    // Splits the body into child parts at the "boundary" delimiters: lines
    // that are "--" and the boundary, then "--" for the closing one, then
    // blanks (transport padding) up to the line end or the part's end (RFC
    // 2046 5.1.1). A line that only begins so ("--" and a longer boundary
    // that starts with this one) is body text.
    int ParseMultipart();
    // With the cursor just behind a match of "CR LF -- boundary": the
    // position of the CR LF that ends the delimiter line (the part's end when
    // the part ends on that line), closing set for "--" behind the boundary;
    // -1 when the line goes on with other bytes and is no delimiter.
    int DelimiterLineEnd(bool& closing);
    // Reads the field at the cursor with its continuation lines, CR LF pairs
    // removed and trailing blanks cut; the empty line gives "". False when
    // there is no field.
    bool ReadHeaderField(CString& field);
    // Position of the CR of the first CR LF after the cursor whose LF is not
    // followed by a tab; the part's end - 2 when there is none. The cursor
    // does not move.
    int FindLineEnd();
    // The first match of pattern whose last byte lies at or after the cursor
    // and before the part's end (so it may begin up to its length - 1 bytes
    // before the cursor). Answers the match's first byte and puts the cursor
    // behind the match, or -1.
    int FindPattern(const CString& pattern);

    // Puts the cursor at the part's start and reads one line as ReadLine does.
    int ReadFirstLine(char* buffer, int capacity);
    // Copies the next raw line (up to and including a CR LF, or capacity - 1
    // bytes, or up to the part's end) NUL-terminated into buffer; answers its
    // length, or -1 at the part's end. A bare LF does not end a line; an LF
    // whose CR ended the previous piece of a long line ends its piece. A
    // capacity below 2 answers -1 (no line would ever fit).
    int ReadLine(char* buffer, int capacity);
    // The same two without a copy where the line lies in one window: *line
    // points at its bytes there (valid until the next read of this part;
    // buffer is not written, no NUL follows); a line that crosses a window's
    // edge is copied into buffer and *line points at buffer.
    int ReadFirstLine(char* buffer, int capacity, const char** line);
    int ReadLine(char* buffer, int capacity, const char** line);

    CMimePart* GetParent() const { return m_pParent; }
    CMimePart* GetFirstChild() const { return m_pFirstChild; }
    CMimePart* GetNextSibling() const { return m_pNextSibling; }
    int GetDepth() const { return m_nDepth; }

    CMimeSource m_source;   // every part of one message has the same
    CMimeReader m_reader;
    int m_nStart;
    int m_nEnd;
    int m_nCursor = 0;

private:
    int Byte(std::int64_t pos) { return m_reader.GetByte(pos); }
    // True when the length bytes from pos on equal bytes.
    bool Matches(std::int64_t pos, const unsigned char* bytes, std::int64_t length);
    CMimePart* Root();

    CMimePart* m_pParent;
    CMimePart* m_pFirstChild = nullptr;    // owned
    CMimePart* m_pNextSibling = nullptr;   // owned
    int m_nDepth = 0;                      // 0 for the root
    int m_nPartCount = 0;                  // root only: body parts made so far
};

// The parse of one message.
class CMimeMessage {
public:
    CMimeMessage() = default;
    ~CMimeMessage();
    CMimeMessage(const CMimeMessage&) = delete;
    CMimeMessage& operator=(const CMimeMessage&) = delete;

    // Parses the file at path (a Windows path). 1 on success, 0 on failure;
    // 0 without doing anything when this message was parsed before.
    int Parse(const char* path);
    // Parses the size bytes at data, which must stay unchanged until this
    // message is destroyed; the same answers.
    int ParseMemory(const char* data, std::size_t size);
    // Parses the message in source; the same answers.
    int ParseSource(const CMimeSource& source);
    // Selects the root, then its first child as long as there is one, and
    // answers the selected part (null before Parse).
    CMimePart* FirstLeaf();

    CMimePart* GetRoot() const { return m_pRoot; }
    CMimePart* GetCurrent() const { return m_pCurrent; }

private:
    CMimePart* m_pRoot = nullptr;      // owned
    CMimePart* m_pCurrent = nullptr;
};

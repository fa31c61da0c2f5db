// The MIME part tree of one message that lies in a file of its own or in a
// block of memory.
//
// The message is read in place: a file through a 1024-byte window aligned to
// multiples of 1024, backed by a bounded read-ahead block (the file is never
// loaded whole); a memory block directly (nothing is copied), with delimiter
// lines and line ends found by a fast byte search over the whole part. Both
// give the same results byte for byte. Nothing is decoded: transfer
// encodings, encoded words and character sets stay as written, and body
// lines come out as raw bytes. Offsets are 32-bit: a message of 2 GB or more
// does not parse.
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

#include <cstddef>
#include <cstdint>
#include <vector>

#include "coding/MimeHeader.h"
#include "framework/CString.h"
#include "framework/File.h"

constexpr int kMimeWindowSize = 1024;
constexpr int kMimeReadAhead = 64 * 1024;
constexpr int kMaxMimeDepth = 100;
constexpr int kMaxMimeParts = 10000;

// Reader statuses.
constexpr int kMimeReadOk = 0;
constexpr int kMimeOpenFailed = -3;
constexpr int kMimeReadFailed = -5;
constexpr int kMimeCloseFailed = -6;
constexpr int kMimeSeekFailed = -7;

// Where the bytes of one message lie: a file (a Windows path), or a block of
// memory that stays unchanged while any part of the parse reads it (the
// source does not own it).
struct CMimeSource {
    static CMimeSource File(const CString& path);
    static CMimeSource Memory(const char* data, std::size_t size);

    CString m_strPath;                        // the file
    const unsigned char* m_pData = nullptr;   // the memory block
    std::size_t m_nSize = 0;
    bool m_bMemory = false;
};

// Random access to the bytes of one file through an aligned window, or of
// one memory block (its window is the whole block).
class CMimeFileReader {
public:
    explicit CMimeFileReader(int windowSize = kMimeWindowSize);
    ~CMimeFileReader();
    CMimeFileReader(const CMimeFileReader&) = delete;
    CMimeFileReader& operator=(const CMimeFileReader&) = delete;

    // Opens path (a Windows path) for reading; answers the status (0 or -3).
    // An open reader is closed first.
    int Open(const char* path);
    // Opens the size bytes at data for reading; they must stay unchanged
    // until the reader is closed. Answers the status (0, or -3 for null data
    // with a size). An open reader is closed first.
    int OpenMemory(const unsigned char* data, std::size_t size);
    // Opens the source as one of the two above.
    int Open(const CMimeSource& source);
    // Closes the file and frees the window; answers the status.
    int Close();
    bool IsOpen() const { return m_bOpen != 0; }
    int GetStatus() const { return m_nStatus; }
    // Size of the open file or memory block in bytes (0 when closed).
    std::int64_t GetFileSize() const;

    // The byte at pos as 0..255, or -1 when absent (negative position, beyond
    // the end of the file, the file closed, or the window could not be read;
    // a failed move sets status -7 or -5).
    int GetByte(std::int64_t pos)
    {
        const std::int64_t off = pos - m_nWindowStart;
        if (m_bLoaded && off >= 0 && off < static_cast<std::int64_t>(m_dwValid))
            return m_pWindow[off];
        return GetByteSlow(pos);
    }

    // Bytes available in the window from pos on (for a memory block: to its
    // end, at most INT_MAX), with *data pointing at pos; 0 when pos is
    // absent. Moves the window like GetByte.
    int GetSpan(std::int64_t pos, const unsigned char** data);
    // The memory block the reader is open on, or null (a file, or closed).
    const unsigned char* GetMemory() const { return m_bOpen && m_bMemory ? m_pMemory : nullptr; }

private:
    int GetByteSlow(std::int64_t pos);
    bool MoveWindow(std::int64_t pos);

    // A memory block: the window points into it.
    const unsigned char* m_pMemory = nullptr;
    std::size_t m_nMemorySize = 0;
    bool m_bMemory = false;
    // A file: the window lies inside a read-ahead block: reads start at a window
    // boundary and double in size (up to kMimeReadAhead) while the file is
    // read in order, so a sequential scan makes few system calls while a
    // small part still reads one window.
    std::vector<unsigned char> m_block;
    std::int64_t m_nBlockStart = 0;
    std::uint32_t m_dwBlockValid = 0;
    int m_nReadSize = 0;
    const unsigned char* m_pWindow = nullptr;
    int m_nWindowSize;
    std::int64_t m_nWindowStart = 0;
    std::uint32_t m_dwValid = 0;
    bool m_bLoaded = false;
    CFile m_file;
    std::int64_t m_nFilePos = 0;   // where the next read starts
    int m_nStatus = kMimeReadOk;
    int m_bOpen = 0;
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
    // defaults (text/plain, 7bit). 0 when MIME-Version, Content-Type,
    // Content-Transfer-Encoding or Content-Disposition fails to parse: the
    // header ends there and no defaults are applied.
    int ParseHeader();
    // Splits the body into child parts at the "boundary" delimiters.
    int ParseMultipart();
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
    // behind the match, or -1. A file is searched window by window
    // (Boyer-Moore), a memory block in one fast search; both answer the same.
    int FindPattern(const CString& pattern);

    // Puts the cursor at the part's start and reads one line as ReadLine does.
    int ReadFirstLine(char* buffer, int capacity);
    // Copies the next raw line (up to and including a CR LF, or capacity - 1
    // bytes, or up to the part's end) NUL-terminated into buffer; answers its
    // length, or -1 at the part's end. A bare LF does not end a line; an LF
    // whose CR ended the previous piece of a long line ends its piece. A
    // capacity below 2 answers -1 (no line would ever fit).
    int ReadLine(char* buffer, int capacity);
    // The same two without the copy for a part in memory: *line points at
    // the line's bytes in the block (buffer is not written, no NUL follows);
    // for a file, *line points at buffer, where the line was copied.
    int ReadFirstLine(char* buffer, int capacity, const char** line);
    int ReadLine(char* buffer, int capacity, const char** line);

    CMimePart* GetParent() const { return m_pParent; }
    CMimePart* GetFirstChild() const { return m_pFirstChild; }
    CMimePart* GetNextSibling() const { return m_pNextSibling; }
    int GetDepth() const { return m_nDepth; }

    CMimeSource m_source;   // every part of one message has the same
    CMimeFileReader m_reader;
    int m_nStart;
    int m_nEnd;
    int m_nCursor = 0;

private:
    int Byte(std::int64_t pos) { return m_reader.GetByte(pos); }
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
    // Selects the root, then its first child as long as there is one, and
    // answers the selected part (null before Parse).
    CMimePart* FirstLeaf();

    CMimePart* GetRoot() const { return m_pRoot; }
    CMimePart* GetCurrent() const { return m_pCurrent; }

private:
    int ParseSource(const CMimeSource& source);

    CMimePart* m_pRoot = nullptr;      // owned
    CMimePart* m_pCurrent = nullptr;
};

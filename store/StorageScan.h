// The scan of a tray's message storage ("Message Storage.mbx") that rebuilds
// its index records: one CMailIndexData per message, with the header summary
// and the message's byte range. It scans the whole storage, or (for messages
// stored after an index was saved) the storage from an offset on.
//
// Storage format: messages one after another, CR LF line ends; a message is
// its header, an empty line, its body and a line "."; one empty line may
// follow the "." line. The scan reads the file in large blocks; its memory
// does not depend on the file's size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/Types.h"
#include "store/MailIndexData.h"

class CFile;

// Storage bytes read by position.
class CStorageSource {
public:
    virtual ~CStorageSource() = default;
    // Length of the storage, fixed when the scan starts.
    virtual std::uint64_t Length() const = 0;
    // Reads up to count bytes at offset, never past Length(); answers how many
    // were read (0 at the end or on a read error).
    virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
    // True once a read or seek has failed: fewer bytes than asked for then
    // mean an error, not the end.
    virtual bool Failed() const = 0;
};

class CMemoryStorageSource : public CStorageSource {
public:
    CMemoryStorageSource(const void* data, std::size_t size) : m_data(static_cast<const char*>(data)), m_size(size) {}
    std::uint64_t Length() const override { return m_size; }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;
    bool Failed() const override { return false; }

private:
    const char* m_data;
    std::size_t m_size;
};

// An open file; reads move its position. Failed() is the file's sticky
// error flag (CFile::HasError).
class CFileStorageSource : public CStorageSource {
public:
    explicit CFileStorageSource(CFile& file);
    std::uint64_t Length() const override { return m_length; }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;
    bool Failed() const override;

private:
    CFile& m_file;
    std::uint64_t m_length;
    std::uint64_t m_position;
};

// Block size of the scan's read buffer.
constexpr std::size_t kStorageScanBlock = 1024 * 1024;

// Longest header text kept for one field (and of one line). A header line
// longer than this still counts with its full length for every position and
// test, but only its first bytes become index text: index strings are
// summaries (the writers copy messages from the storage file, not from the
// index), and a bound keeps memory independent of the storage file, which may
// hold a single line of any length.
constexpr std::size_t kMaxIndexFieldText = 1024 * 1024;

// Maker's own mail domain: a decoded From holding "@" followed by it gives
// m_dwMark kIndexMarkOwnService.
extern const char* const kOwnMailDomain;   // "orvane.ne.jp"

struct StorageScanResult {
    DWORD next = 0;          // the number after the last record appended
    bool complete = false;   // every message up to the storage's end was found
};

// Scans the storage from startOffset (0: the whole storage; otherwise where a
// message begins) to its end and appends one record per message to records,
// numbered from firstNumber on. The first message starts at startOffset;
// every range is an absolute offset in the storage. blockSize is the read
// buffer's size (tests use tiny ones). A scan that cannot reach the end - a
// read error (the source's, or fewer bytes than its length), or a message
// that would end past the 32-bit offsets of the index - is not complete: it
// leaves records as they were and answers firstNumber.
[[nodiscard]] StorageScanResult ScanMessageStorage(CStorageSource& source, std::uint64_t startOffset,
                                                   DWORD firstNumber, CMailIndexList& records,
                                                   std::size_t blockSize = kStorageScanBlock);

// The offset of the first line at or after offset that is not empty: every
// line that is only LF, or CR LF, or a lone CR at the very end, is stepped
// over. Answers the storage length when nothing else follows, offset itself
// when it is past the end, and the offset reached at a read error. A message
// never begins with an empty line.
std::uint64_t SkipEmptyLines(CStorageSource& source, std::uint64_t offset);

// Whether a To or CC text names several recipients by holding a comma; a text
// that begins with a quoted name is searched from the closing quote on.
bool HasRecipientComma(const CString& text);

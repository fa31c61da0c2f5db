// Reading one message out of a tray's storage file ("Message Storage.mbx"),
// for every writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/File.h"
#include "store/MailIndexData.h"

// A tray's storage file as its messages are read, one after the other. A
// small range that lies after the last one read comes out of a block read
// ahead (kStorageReadAhead bytes from where it starts, the file's length
// asked with it), so that a run of small messages costs one read call per
// block instead of a length query, a seek and a read each. Any other range
// is read from the file at its place, as CStoredMessage::Read(CFile&) reads.
class CStorageReader {
public:
    explicit CStorageReader(CFile& file) : m_file(file) {}
    CStorageReader(const CStorageReader&) = delete;
    CStorageReader& operator=(const CStorageReader&) = delete;

private:
    friend class CStoredMessage;
    CFile& m_file;
    std::unique_ptr<char[]> m_block;    // made at the first read ahead
    std::uint64_t m_blockStart = 0;     // the block holds [start, start + length) of the file
    std::size_t m_blockLength = 0;
    std::uint64_t m_fileLength = 0;     // as it was when the block was read
    std::uint64_t m_lastEnd = 0;        // end of the last range read
};

// Bytes read ahead at once, and the largest range served from them.
constexpr std::size_t kStorageReadAhead = 1u << 20;
constexpr std::size_t kStorageReadAheadRange = kStorageReadAhead / 2;

// The bytes of one record's range [m_dwStart, m_dwEnd) of the storage file.
// One object serves many messages in turn: its buffer is made once and kept
// while messages are small.
class CStoredMessage {
public:
    // Reads the record's range. A reversed range reads as empty; the part of
    // a range beyond the end of the file is not read (MissingLength counts
    // it). False on a seek or read error.
    bool Read(CFile& storage, const CMailIndexData& record);
    // The same, through the reader's block where the range allows.
    bool Read(CStorageReader& storage, const CMailIndexData& record);

    // The bytes read, followed by a zero byte (Data()[Length()] == 0).
    const char* Data() const { return m_buf.get(); }
    std::size_t Length() const { return m_length; }
    // Bytes of the range that lie beyond the end of the storage file.
    std::size_t MissingLength() const { return m_missing; }
    bool Reversed() const { return m_reversed; }

    // The message proper within the bytes read: white space before it (empty
    // lines at the range's start) and the store's terminator after it left
    // out. The terminator only counts when the whole range was read.
    struct Span {
        const char* text;
        std::size_t length;
        bool terminated;   // a terminator was left out
    };
    Span Message() const;

private:
    // Sets the range's lengths and makes the buffer hold length + 1 bytes.
    void Prepare(const CMailIndexData& record, std::uint64_t fileLength);
    // Reads the range [start, start + length) of the file into the buffer.
    bool ReadFromFile(CFile& storage, std::uint64_t start);

    // Allocated without filling it: the read fills what is used.
    std::unique_ptr<char[]> m_buf = std::make_unique<char[]>(1);
    std::size_t m_capacity = 1;
    std::size_t m_length = 0;
    std::size_t m_missing = 0;
    bool m_reversed = false;
};

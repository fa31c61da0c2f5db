// Reading one message out of a tray's storage file ("Message Storage.mbx"),
// for every writer.
#pragma once

#include <cstddef>
#include <memory>

#include "framework/File.h"
#include "store/MailIndexData.h"

// The bytes of one record's range [m_dwStart, m_dwEnd) of the storage file.
// One object serves many messages in turn: its buffer is made once and kept
// while messages are small.
class CStoredMessage {
public:
    // Reads the record's range. A reversed range reads as empty; the part of
    // a range beyond the end of the file is not read (MissingLength counts
    // it). False on a seek or read error.
    bool Read(CFile& storage, const CMailIndexData& record);

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
    // Allocated without filling it: the read fills what is used.
    std::unique_ptr<char[]> m_buf = std::make_unique<char[]>(1);
    std::size_t m_capacity = 1;
    std::size_t m_length = 0;
    std::size_t m_missing = 0;
    bool m_reversed = false;
};

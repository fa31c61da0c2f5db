// Reading one message out of a tray's storage file ("Message Storage.mbx"),
// for every writer.
#pragma once

#include <cstddef>
#include <vector>

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
    const char* Data() const { return m_buf.data(); }
    std::size_t Length() const { return m_length; }
    // Bytes of the range that lie beyond the end of the storage file.
    std::size_t MissingLength() const { return m_missing; }
    bool Reversed() const { return m_reversed; }

private:
    std::vector<char> m_buf = std::vector<char>(1, '\0');
    std::size_t m_length = 0;
    std::size_t m_missing = 0;
    bool m_reversed = false;
};

// Length of text[0, length) without the store's terminator: when the text
// ends with a line that is exactly "." CR LF followed by nothing but empty
// lines (CR LF), the answer is where that "." line starts; otherwise length.
std::size_t LengthWithoutTerminator(const char* text, std::size_t length);

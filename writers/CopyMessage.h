// CopyStoredMessage: one stored message out to an mbox-like output: a
// separator line, the unfolded header, the body bytes.
#pragma once

#include <cstddef>
#include <string>

#include "framework/CString.h"
#include "framework/File.h"
#include "store/MailIndexData.h"

// Separator line formats (weekday, month, day, hour, minute, second, year).
extern const char* const kMboxSeparatorFormat;       // "From ???@??? ..." (mbox and eml)
extern const char* const kNetscapeSeparatorFormat;   // "From - ..."

// The separator line for the current local time.
CString MakeSeparatorLine(const char* format);

// Buffered writing to an output file. Small writes collect in memory; large
// ones go straight to the file. Any failed write makes Ok() false until the
// next Attach. One object can serve many files in turn (Attach), so that its
// buffer is made once.
class CMessageOutput {
public:
    CMessageOutput() = default;
    explicit CMessageOutput(CFile& file) { Attach(file); }
    ~CMessageOutput() { Flush(); }
    // Flushes what the previous file still holds, then writes to file.
    void Attach(CFile& file);
    CMessageOutput(const CMessageOutput&) = delete;
    CMessageOutput& operator=(const CMessageOutput&) = delete;

    void Write(const char* bytes, std::size_t count);
    void WriteZeros(std::size_t count);
    bool Flush();
    bool Ok() const { return m_bOk; }
    // True when nothing was written yet or the last byte written was LF.
    bool AtLineStart() const { return m_bAtLineStart; }

private:
    CFile* m_file = nullptr;
    std::string m_buf;
    bool m_bOk = true;
    bool m_bAtLineStart = true;
};

enum CopyResult {
    kCopyWritten = 1,
    kCopySkipped = 0,       // a reversed byte range: nothing to copy
    kCopyReadError = -1,    // the storage file could not be read
    kCopyWriteError = -2,   // the output could not be written
};

// Copies the record's byte range of storage to output:
//  - the header is read in logical lines up to its empty line (CR LF, or LF
//    in a text without CR LF) and written unfolded; leading white space goes;
//  - "From ???@??? " at the header's third byte: the two bytes before it go
//    and no separator is made; found elsewhere: no separator; not found: a
//    separator line from separatorFormat and the current local time first;
//  - the body follows byte for byte; with quoteFromLines every body line that
//    begins with "From " gets a ">" in front, as mbox readers need;
//  - a message without an empty line after its header is written whole after
//    its separator, as stored; so is a header with a logical line too long
//    to unfold;
//  - a range running past the end of the storage file is filled with zero bytes.
CopyResult CopyStoredMessage(CFile& storage, const CMailIndexData& record, const char* separatorFormat,
                             CMessageOutput& output, bool quoteFromLines);

// CopyStoredMessage: one stored message out to an mbox-like output: a
// separator line, the unfolded header, the body bytes.
#pragma once

#include <cstddef>
#include <string>

#include "framework/CString.h"
#include "framework/File.h"

class CStoredMessage;

// Separator line formats (weekday, month, day, hour, minute, second, year),
// the asctime form: "From ???@??? Mon Jan  6 09:05:03 2003" CR LF.
extern const char* const kMboxSeparatorFormat;       // "From ???@??? ..." (mbox, eml, Eudora)
extern const char* const kNetscapeSeparatorFormat;   // "From - ..."

// The separator line for the current local time.
CString MakeSeparatorLine(const char* format);

// What the start of a header (leading white space already gone) says about
// the separator line. A header that begins with "From ???@??? " carries its
// own separator line; one that holds it at its third byte loses the two
// bytes before it and carries it too. Any other header, the marker elsewhere
// in it or nowhere, gets a separator line made for it: a marker inside a
// field (a Subject "Re: From ???@??? ...") never merges its message into the
// previous one.
struct SeparatorRule {
    std::size_t drop = 0;        // leading bytes not written
    bool makeSeparator = true;   // write a separator line first
};
SeparatorRule ApplySeparatorRule(const char* header, std::size_t length);

// Buffered writing to an output file. Small writes collect in memory; large
// ones go straight to the file. Any failed write makes Ok() false until the
// next file. One object serves many files in turn, so that its buffer is made
// once; it writes into a file only through a Binding, which flushes and lets
// go of the file when it ends, so that the output never holds a file that is
// gone.
class CMessageOutput {
public:
    CMessageOutput() = default;
    CMessageOutput(const CMessageOutput&) = delete;
    CMessageOutput& operator=(const CMessageOutput&) = delete;

    // Writes of output go to file while the binding lives. Declare it after
    // the file, so that it ends first; check Flush() before closing the file.
    class Binding {
    public:
        Binding(CMessageOutput& output, CFile& file) : m_output(output) { output.Attach(file); }
        ~Binding() { m_output.Detach(); }
        Binding(const Binding&) = delete;
        Binding& operator=(const Binding&) = delete;

    private:
        CMessageOutput& m_output;
    };

    void Write(const char* bytes, std::size_t count);
    void WriteZeros(std::size_t count);
    // Writes what is buffered; false when any write to the file failed.
    bool Flush();
    bool Ok() const { return m_bOk; }
    // True when nothing was written yet or the last byte written was LF.
    bool AtLineStart() const { return m_bAtLineStart; }

private:
    void Attach(CFile& file);
    void Detach();

    CFile* m_file = nullptr;
    std::string m_buf;
    bool m_bOk = true;
    bool m_bAtLineStart = true;
};

// Copies the record's byte range of storage to output:
//  - the store's terminator ("." line and any empty lines after it at the
//    end of the range) is not part of the message: into a mailbox it becomes
//    the empty line before the next separator, into a message file nothing;
//  - the header is read in logical lines up to its empty line (CR LF, or LF
//    in a text without CR LF) and written unfolded: only the line ends of
//    folds go, every SPACE and TAB stays; leading white space goes;
//  - the separator line follows ApplySeparatorRule, made from
//    separatorFormat and the current local time;
//  - the body follows byte for byte; into a mailbox every line that matches
//    ">*From " (header lines too, but for a kept separator line) gets one
//    more ">" (mboxrd), so that readers that unquote get the line back;
//  - a message without an empty line after its header is written whole after
//    its separator, as stored; so is a header with a logical line too long
//    to unfold;
//  - the part of its range past the end of the storage file is filled with
//    zero bytes.
// dateField, when given, receives the value of the header's first "Date"
// field (name without regard to case), unfolded, without its line end; empty
// when the header has none or that line was too long to unfold.
bool CopyStoredMessage(const CStoredMessage& stored, const char* separatorFormat, CMessageOutput& output,
                       bool intoMailbox, CString* dateField = nullptr);

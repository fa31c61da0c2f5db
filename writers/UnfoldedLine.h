// Logical (unfolded) header lines: a header field folded over several
// physical lines read as one line. Every string is Shift_JIS.
#pragma once

#include <cstddef>

#include "framework/CString.h"

// Size of the buffer one logical line is assembled in (terminating zero
// included): a longer line is cut so that it fits, keeping its line end.
constexpr int kUnfoldedLineBufferSize = 4096;

// Reads logical (unfolded) lines from one zero-terminated text. The text is
// measured once, so reading it line by line costs time linear in its length,
// also when its lines end in bare LF.
//
// A line ends at CR LF; when no CR LF is left anywhere in the rest of the
// text, at a bare LF. A line end followed by TAB or SPACE continues the
// line: the line end goes, a TAB is kept, one leading SPACE is dropped and a
// run of two or more becomes one. With keepWhiteSpace only the line end goes
// (RFC 5322 unfolding): every SPACE and TAB stays. An empty line is never
// continued: it ends a header whatever follows it.
class CUnfoldedLineReader {
public:
    // text: the text's first byte; it ends at its first zero byte, or after
    // maxLength bytes when maxLength is given.
    explicit CUnfoldedLineReader(const char* text, std::size_t maxLength = static_cast<std::size_t>(-1),
                                 bool keepWhiteSpace = false);

    // Reads the logical line that starts at position (inside the text) into
    // line, with its line end, and answers the position just after it. Answers
    // null with line empty when no line end is left.
    const char* ReadLine(const char* position, CString& line);

    // True when the last line read was longer than the buffer and was cut.
    bool LastLineWasCut() const { return m_bCut; }

private:
    const char* FindLineEnd(const char* from, bool& bareLf);

    const char* m_text;
    const char* m_end;        // the terminating zero (or text + maxLength)
    const char* m_lastCrLf;   // start of the last CR LF in the text, or null
    bool m_bCut = false;
    bool m_bKeepWhiteSpace = false;
};

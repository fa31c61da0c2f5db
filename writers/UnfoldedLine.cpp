#include "writers/UnfoldedLine.h"

#include <cstring>

#include "framework/ByteSearch.h"
#include "framework/Sjis.h"

CUnfoldedLineReader::CUnfoldedLineReader(const char* text, std::size_t maxLength, bool keepWhiteSpace)
    : m_text(text), m_end(text), m_lastCrLf(nullptr), m_bKeepWhiteSpace(keepWhiteSpace)
{
    if (!text)
        return;
    if (maxLength == static_cast<std::size_t>(-1)) {
        m_end = text + std::strlen(text);
    } else {
        const char* zero = FindByte(text, maxLength, '\0');
        m_end = zero ? zero : text + maxLength;
    }
    // Where the last CR LF starts: before it a CR LF is always ahead, after
    // it never, so no line needs to search the rest of the text in vain.
    for (const char* p = m_end; p - text >= 2; --p) {
        if (p[-2] == '\r' && p[-1] == '\n') {
            m_lastCrLf = p - 2;
            break;
        }
    }
}

// Start of the line end at or after from (CR LF, or LF once bareLf is set;
// it is set when no CR LF is left), or null when there is none.
const char* CUnfoldedLineReader::FindLineEnd(const char* from, bool& bareLf)
{
    if (!bareLf && !(m_lastCrLf && from <= m_lastCrLf))
        bareLf = true;
    const char* p = from;
    while (p < m_end) {
        const char* lf = FindByte(p, static_cast<std::size_t>(m_end - p), '\n');
        if (!lf)
            return nullptr;
        if (bareLf)
            return lf;
        if (lf > from && lf[-1] == '\r')
            return lf - 1;
        p = lf + 1;
    }
    return nullptr;
}

const char* CUnfoldedLineReader::ReadLine(const char* position, CString& line)
{
    line.Empty();
    m_bCut = false;
    if (!position || position < m_text || position > m_end)
        return nullptr;

    char buf[kUnfoldedLineBufferSize];
    int written = 0;   // bytes of the line so far, without a line end
    bool bareLf = false;
    const char* cur = position;
    for (;;) {
        const char* eol = FindLineEnd(cur, bareLf);
        if (!eol)
            return nullptr;
        const int eolLen = bareLf ? 1 : 2;

        int skip = 0;
        if (!m_bKeepWhiteSpace) {
            int spaces = 0;
            while (cur[spaces] == ' ')   // stops at the line end at the latest
                ++spaces;
            skip = spaces == 0 ? 0 : (spaces == 1 ? 1 : spaces - 1);
        }
        const char* seg = cur + skip;
        const int segLen = static_cast<int>(eol - seg);

        // Copy what fits, leaving room for the line end and a zero byte; a cut
        // falls between whole Shift_JIS characters.
        const int room = kUnfoldedLineBufferSize - 1 - eolLen - written;
        int take = segLen;
        if (take > room) {
            m_bCut = true;
            take = 0;
            while (take < segLen) {
                int len = (take + 1 < segLen && IsSjisLeadByte(static_cast<BYTE>(seg[take]))) ? 2 : 1;
                if (take + len > room)
                    break;
                take += len;
            }
        }
        std::memcpy(buf + written, seg, static_cast<std::size_t>(take));
        written += take;

        const char* after = eol + eolLen;
        // An empty line ends the header; it never continues onto the next line.
        const bool empty = written == 0 && eol == cur;
        if (!empty && after < m_end && (*after == ' ' || *after == '\t')) {
            cur = after;   // folded: the next segment replaces the line end
            continue;
        }
        std::memcpy(buf + written, eol, static_cast<std::size_t>(eolLen));
        line = CString(buf, written + eolLen);
        return after;
    }
}

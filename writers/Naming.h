// Output naming shared by the writers: logical header lines, unique and safe
// file names, folder creation. GetTrayFolderPath lives in store/TrayList.h.
// Every string is Shift_JIS; paths are Windows paths.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>

#include "framework/CString.h"
#include "framework/Types.h"

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
    // Text bytes looked at so far (measuring, searching, copying); tests bound
    // it to prove the reading linear.
    std::size_t BytesExamined() const { return m_examined; }

private:
    const char* FindLineEnd(const char* from, bool& bareLf);

    const char* m_text;
    const char* m_end;        // the terminating zero (or text + maxLength)
    const char* m_lastCrLf;   // start of the last CR LF in the text, or null
    std::size_t m_examined = 0;
    bool m_bCut = false;
    bool m_bKeepWhiteSpace = false;
};

// One logical line starting at position in a zero-terminated text; see
// CUnfoldedLineReader (which a caller reading many lines should use: this
// one measures the rest of the text at every call).
const char* ReadUnfoldedLine(const char* position, CString& line);

// Remembers, per name, how far numbering got in this run, so that taking the
// same name many times does not test "[01]", "[02]", ... again each time.
// Valid while the files it has answered are not deleted.
class CUniqueNameCache {
public:
    // The first number worth testing for path (0: the name itself).
    int StartFor(const CString& path) const;
    void Remember(const CString& path, int number);

private:
    std::map<std::string, int> m_next;
};

// path itself when nothing exists there, else the first free variant with
// "[NN]" ("%02d") after the base name and before the extension (the text
// from the last "." of the last component). With a cache, numbers that this
// run already found taken are not tested again; the answer is the same.
CString MakeUniqueFileName(const CString& path, CUniqueNameCache* cache = nullptr);
// The same, numbered n (0: path itself). Used by MakeUniqueFileName.
CString NumberedFileName(const CString& path, int number);

// Replaces \ * / : ? " < > | by their full-width Shift_JIS forms, walking
// whole characters (a trail byte 0x5C or 0x7C is left alone).
void MakeSafeFileName(CString& name);

// Creates the folder path and every missing parent; never the drive part
// ("C:"). True on success or when the last failure was "already exists" (183),
// and only when a folder (not a file) stands at path at the end.
bool CreateFolderPath(CString path);

// Tests watch which folders CreateFolderPath tries to create (null: none).
void SetCreateFolderObserver(std::function<void(const CString&)> observer);

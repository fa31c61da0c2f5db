#include "writers/EudoraWriter.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>

#include "coding/Base64.h"
#include "coding/Jis.h"
#include "coding/MimePart.h"
#include "framework/File.h"
#include "framework/Ui.h"
#include "writers/CopyMessage.h"
#include "writers/Naming.h"
#include "writers/StoredMessage.h"
#include "writers/TrayLoop.h"
#include "writers/UnfoldedLine.h"
#include "writers/Writers.h"

const char* const kEudoraTerminator = "\r\n.\r\n\r\n";

namespace {

const char kPlainTextContentType[] = "Content-type: text/plain; charset=\"ISO-2022-JP\"\r\n";
const char kBodyPartError[] = "Bodyパートを開くことができませんでした。";
// Body lines are read in pieces of at most this many bytes less one.
constexpr int kLineBufferSize = 4096;
// Body text is converted to Shift_JIS this many bytes at a time.
constexpr std::size_t kConvertPiece = 64 * 1024;

bool IsCrLf(const char* line, int length)
{
    return length == 2 && line[0] == '\r' && line[1] == '\n';
}

// Where the zero bytes of a block in memory lie, looked for a little ahead of
// the lines being read (so that the bytes are scanned while they are in the
// cache anyway, and a line without zero bytes needs no scan of its own).
class ZeroScan {
public:
    ZeroScan(const char* from, const char* end) : m_scanned(from), m_end(end) {}

    // How many bytes of [p, p + n) come before its first zero byte; p lies in
    // the block, at or after the previous call's p.
    std::size_t Keep(const char* p, std::size_t n)
    {
        const char* const e = p + n;
        for (;;) {
            if (m_zero && m_zero < p)
                m_zero = nullptr;   // in an earlier line: look on after it
            if (m_zero)
                return m_zero < e ? static_cast<std::size_t>(m_zero - p) : n;
            if (m_scanned >= e)
                return n;
            const char* const to = m_end - m_scanned > kAhead ? m_scanned + kAhead : m_end;
            m_zero = static_cast<const char*>(std::memchr(m_scanned, '\0', static_cast<std::size_t>(to - m_scanned)));
            m_scanned = m_zero ? m_zero + 1 : to;
        }
    }

private:
    static constexpr std::ptrdiff_t kAhead = 64 * 1024;
    const char* m_scanned;           // the bytes before it were looked at
    const char* m_end;
    const char* m_zero = nullptr;    // the first zero byte found and not passed yet
};

// Hands the text of the lines of part that follow its header (the first
// empty line) to text(bytes, count), leaving out "." lines and cutting each
// line at a zero byte. Lines that follow one another in a message held in
// memory go out together, as one run of its bytes (nothing is copied).
template <class Text>
void ForEachPartLine(CMimePart& part, Text&& text)
{
    char buffer[kLineBufferSize];
    const unsigned char* block = part.m_reader.GetMemory();
    const char* const blockText = reinterpret_cast<const char*>(block);
    ZeroScan zeros(block ? blockText + std::max(part.m_nStart, 0) : nullptr,
                   block ? blockText + part.m_reader.GetFileSize() : nullptr);
    const char* run = nullptr;
    std::size_t runLength = 0;
    auto flush = [&] {
        if (runLength > 0)
            text(run, runLength);
        runLength = 0;
    };
    bool inHeader = true;
    const char* line = nullptr;
    for (int n = part.ReadFirstLine(buffer, kLineBufferSize, &line); n >= 0;
         n = part.ReadLine(buffer, kLineBufferSize, &line)) {
        if (inHeader) {
            inHeader = !IsCrLf(line, n);
            continue;
        }
        if (n == 3 && line[0] == '.' && line[1] == '\r' && line[2] == '\n') {
            flush();
            continue;
        }
        const std::size_t keep = block ? zeros.Keep(line, static_cast<std::size_t>(n))
                                       : strnlen(line, static_cast<size_t>(n));
        if (!(block && runLength > 0 && run + runLength == line)) {
            flush();
            run = line;
        }
        runLength += keep;
        if (!block)
            flush();   // the buffer is read over by the next line
    }
    flush();
}

// Hands the text lines of the part that parse has selected to text;
// nothing for a part whose media type is not "text". False, after a message
// box, when the part cannot be opened.
template <class Text>
bool ForEachSelectedLine(CMimeMessage& parse, Text&& text)
{
    CMimePart* part = parse.GetCurrent();
    if (!part || !part->Open()) {
        AfxMessageBox(kBodyPartError, kMbOk);
        return false;
    }
    if (part->m_strType.CompareNoCase("text") == 0)
        ForEachPartLine(*part, text);
    return true;
}

// True when the parse's structure can be used: its top part has a media type
// (a field before Content-Type did not fail) and its first leaf, which this
// selects, is not a multipart that was left unsplit (nested too deep, or
// beyond the part limit).
bool SelectUsableLeaf(CMimeMessage& parse)
{
    const CMimePart* leaf = parse.FirstLeaf();
    return leaf && !parse.GetRoot()->m_strType.IsEmpty() && leaf->m_strType.CompareNoCase("multipart") != 0;
}

// Hands the body text of the message (length bytes at message), the text
// lines of its first leaf part, to text. A message whose MIME structure
// cannot be used (its parse fails: a multipart cut short, without a boundary
// or without any body part; or SelectUsableLeaf says no) is read as one text
// part, so that its text is not lost.
template <class Text>
void ForEachBodyLine(const char* message, std::size_t length, Text&& text)
{
    {
        CMimeMessage parse;
        if (parse.ParseMemory(message, length) && SelectUsableLeaf(parse)) {
            // A part that cannot be opened was said in a message box; the
            // message keeps its header and terminator and the run goes on.
            (void)ForEachSelectedLine(parse, text);
            return;
        }
    }
    const int end = length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
    CMimePart whole(nullptr, CMimeSource::Memory(message, length), 0, end);
    if (whole.Open())
        ForEachPartLine(whole, text);
    else
        AfxMessageBox(kBodyPartError, kMbOk);
}

// The header text of the stored message, line by line: encoded words
// decoded, a non-plain Content-Type relabelled, up to and including the
// empty line that ends it.
CString BuildHeaderText(const char* message, std::size_t length)
{
    CString header;
    CString line;
    CUnfoldedLineReader reader(message, length, true);
    const char* position = message;
    while (const char* next = reader.ReadLine(position, line)) {
        position = next;
        int found = line.Find("=?ISO-2022-JP");
        if (found < 0)
            found = line.Find("=?iso-2022-jp");
        if (found >= 0) {
            // An encoded word right after the line's first byte continues
            // the previous line.
            if (found == 1)
                header.TrimRight();
            DecodeHeaderValue(line, line);
        }
        if (line.GetLength() >= 12 && line.Left(12).CompareNoCase("content-type") == 0 &&
            line.Find("text/plain") < 0)
            line = kPlainTextContentType;
        header += line;
        if (line == "\r\n")
            return header;
    }
    // No empty line: keep what follows the last line end too, so that no
    // text of the message is lost.
    const char* end = message + length;
    const char* rest = position;
    while (rest < end && *rest != '\0')
        ++rest;
    header.Append(position, static_cast<int>(rest - position));
    return header;
}

}  // namespace

void ConvertMessageToEudora(const char* message, std::size_t length, const EudoraOutput& write)
{
    CString header = BuildHeaderText(message, length);
    header.TrimLeft();
    const SeparatorRule rule = ApplySeparatorRule(header.GetString(), static_cast<std::size_t>(header.GetLength()));
    if (rule.drop > 0)
        header.Delete(0, static_cast<int>(rule.drop));
    if (rule.makeSeparator) {
        const CString separator = MakeSeparatorLine(kMboxSeparatorFormat);
        write(separator.GetString(), static_cast<std::size_t>(separator.GetLength()));
    }
    ConvertStringJisToSjis(header);
    write(header.GetString(), static_cast<std::size_t>(header.GetLength()));

    // The body goes out as it is read, converted on the way in pieces of at
    // most kConvertPiece bytes.
    CJisToSjisStream jis;
    const std::size_t piece = std::clamp(length, std::size_t{1}, kConvertPiece);   // the body is never longer than the message
    const auto converted = std::make_unique_for_overwrite<char[]>(piece + CJisToSjisStream::kHeldBack + 1);
    ForEachBodyLine(message, length, [&](const char* bytes, std::size_t count) {
        while (count > 0) {
            const std::size_t n = std::min(count, piece);
            const int keep = jis.Convert(bytes, static_cast<int>(n), converted.get());
            if (keep > 0)
                write(converted.get(), static_cast<std::size_t>(keep));
            bytes += n;
            count -= n;
        }
    });
    write(kEudoraTerminator, std::strlen(kEudoraTerminator));
}

void ConvertMessageToEudora(const char* message, std::size_t length, CString& out)
{
    ConvertMessageToEudora(message, length, [&out](const char* bytes, std::size_t count) {
        out.Append(bytes, static_cast<int>(count));
    });
}

namespace {

// One mailbox per tray in the output folder.
class CEudoraOutput : public CMailboxFileOutput {
public:
    explicit CEudoraOutput(const CString& outputDir) : CMailboxFileOutput(outputDir, ".mbx") {}

    // The Eudora text cuts every line at a zero byte, so the zero bytes that
    // stand for a range's missing end would add nothing: they are not added.
    bool WriteMessage(const CStoredMessage& message, const CMailIndexData&, int) override
    {
        const CStoredMessage::Span span = message.Message();
        ConvertMessageToEudora(span.text, span.length, m_write);
        return Out().Ok();
    }

private:
    const EudoraOutput m_write = [this](const char* bytes, std::size_t count) { Out().Write(bytes, count); };
};

}  // namespace

WriteResult ConvertToEudora(const MailConversion& conversion, CProgressSink& progress)
{
    CEudoraOutput output(conversion.outputDir);
    return ConvertTrays(conversion, progress, output);
}

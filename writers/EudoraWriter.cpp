#include "writers/EudoraWriter.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "coding/Base64.h"
#include "coding/Charset.h"
#include "coding/Jis.h"
#include "coding/MimeHeader.h"
#include "coding/MimePart.h"
#include "coding/TransferDecode.h"
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
const char kDecodedTransferEncoding[] = "Content-Transfer-Encoding: 8bit\r\n";
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

// The bytes of part that follow its header (its lines up to and including
// the first empty line), read where they lie in the one memory block the
// part is open on; empty when there is no empty line or no such block.
std::string_view PartBody(CMimePart& part)
{
    const char* const block = reinterpret_cast<const char*>(part.m_reader.GetMemory());
    if (!block)
        return {};
    char buffer[kLineBufferSize];
    const char* line = nullptr;
    for (int n = part.ReadFirstLine(buffer, kLineBufferSize, &line); n >= 0;
         n = part.ReadLine(buffer, kLineBufferSize, &line)) {
        if (IsCrLf(line, n)) {
            const char* const from = line + n;
            const char* const to = block + std::min<std::int64_t>(part.m_nEnd, part.m_reader.GetFileSize());
            return from < to ? std::string_view(from, static_cast<std::size_t>(to - from)) : std::string_view();
        }
    }
    return {};
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

bool IsMessagePart(const CMimePart& part)
{
    return part.m_strType.CompareNoCase("message") == 0 && part.m_strSubtype.CompareNoCase("rfc822") == 0;
}

// The part whose text becomes a message's body: the first leaf, looked for
// in the message inside a message/rfc822 leaf too, and how its text is
// written. The parses it was found in live as long as the selection.
class BodySelection {
public:
    // Selects the body of the message (length bytes at message). A message,
    // or a message inside one, whose MIME structure cannot be used (its parse
    // fails: a multipart cut short, without a boundary or without any body
    // part; or SelectUsableLeaf says no) is read as one text part, so that
    // its text is not lost. False, after a message box, when the part cannot
    // be opened: the body is then empty.
    bool Select(const char* message, std::size_t length)
    {
        int depth = 0;
        for (;;) {
            auto parse = std::make_unique<CMimeMessage>();
            if (!parse->ParseMemory(message, length) || !SelectUsableLeaf(*parse)) {
                const int end = length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
                m_whole = std::make_unique<CMimePart>(nullptr, CMimeSource::Memory(message, length), 0, end);
                return Use(m_whole.get(), true);
            }
            CMimePart* const leaf = parse->GetCurrent();
            m_parses.push_back(std::move(parse));
            depth += leaf->GetDepth() + 1;
            if (!IsMessagePart(*leaf) || depth > kMaxMimeDepth)
                return Use(leaf, leaf->m_strType.CompareNoCase("text") == 0);
            if (!leaf->Open())
                return Use(nullptr, false);
            const std::string_view inner = PartBody(*leaf);
            message = inner.data();
            length = inner.size();
        }
    }

    CMimePart* Part() const { return m_part; }
    // The part is text: its lines are the body.
    bool IsText() const { return m_bText; }
    // A whole message read as one text part: its lines are taken as they are.
    bool IsWhole() const { return m_part && m_part == m_whole.get(); }

private:
    bool Use(CMimePart* part, bool text)
    {
        m_part = part;
        m_bText = false;
        if (!part || !part->Open()) {
            AfxMessageBox(kBodyPartError, kMbOk);
            m_part = nullptr;
            return false;
        }
        m_bText = text;
        return true;
    }

    std::vector<std::unique_ptr<CMimeMessage>> m_parses;
    std::unique_ptr<CMimePart> m_whole;
    CMimePart* m_part = nullptr;
    bool m_bText = false;
};

// How the selected text is written: as it is read, JIS-converted on the way
// (the design's text: 7bit or 8bit in ISO-2022-JP, Shift_JIS or no charset),
// or decoded and converted whole first.
struct BodyPlan {
    TransferEncoding encoding = TransferEncoding::kIdentity;
    CString charset;
    CharsetRoute route = CharsetRoute::kJis;

    bool Streams() const { return encoding == TransferEncoding::kIdentity && route == CharsetRoute::kJis; }
};

BodyPlan PlanBody(const BodySelection& body)
{
    BodyPlan plan;
    if (!body.IsText() || body.IsWhole())
        return plan;
    const CMimePart& part = *body.Part();
    plan.encoding = TransferEncodingFor(part.m_strEncoding);
    if (const CMimeParam* charset = part.m_params.Find("charset"))
        plan.charset = charset->m_strValue;
    plan.route = CharsetRouteFor(plan.charset);
    return plan;
}

// The text of body decoded as plan says, in Shift_JIS. decoded tells whether
// its transfer encoding was undone (Base64 that cannot be decoded stays).
CString DecodedText(std::string_view body, const BodyPlan& plan, bool& decoded)
{
    CString bytes;
    decoded = false;
    switch (plan.encoding) {
    case TransferEncoding::kBase64:
        decoded = AppendBase64Decoded(body.data(), body.size(), bytes);
        break;
    case TransferEncoding::kQuotedPrintable:
        AppendQuotedPrintableDecoded(body.data(), body.size(), bytes);
        decoded = true;
        break;
    case TransferEncoding::kIdentity:
        break;
    }
    if (!decoded)
        bytes.Append(body.data(), static_cast<int>(body.size()));
    if (plan.route != CharsetRoute::kJis) {
        CString text;
        AppendAsSjis(plan.charset, bytes.GetString(), static_cast<std::size_t>(bytes.GetLength()), text);
        return text;
    }
    // Zero bytes are converted too: each line is cut at one only when written.
    std::string& s = bytes.Str();
    int length = static_cast<int>(s.size());
    CJisConverter().Convert(s.data(), length, s.data(), length);
    s.resize(static_cast<std::size_t>(length));
    return bytes;
}

// Hands the lines of text to out as mailbox lines: each ended by CR LF (a
// bare LF too; a last line without a line end stays without), cut at a zero
// byte, "." lines left out.
template <class Out>
void WriteTextLines(const CString& text, Out&& out)
{
    const char* p = text.GetString();
    const char* const end = p + text.GetLength();
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* const next = lf ? lf + 1 : end;
        const char* stop = lf ? (lf > p && lf[-1] == '\r' ? lf - 1 : lf) : end;
        if (const void* zero = std::memchr(p, '\0', static_cast<std::size_t>(stop - p)))
            stop = static_cast<const char*>(zero);
        if (!(stop - p == 1 && *p == '.')) {
            out(p, static_cast<std::size_t>(stop - p));
            if (lf)
                out("\r\n", 2);
        }
        p = next;
    }
}

bool HoldsEightBit(const CString& line)
{
    for (const char c : std::string_view(line.GetString(), static_cast<std::size_t>(line.GetLength())))
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

// A decoded word may hold line ends ("=0D=0A"): within the line they become
// spaces, so that a decoded value can neither end the header nor add a field.
void KeepOneLine(CString& line)
{
    std::string& s = line.Str();
    std::size_t end = s.size();
    if (end > 0 && s[end - 1] == '\n')
        --end;
    if (end > 0 && s[end - 1] == '\r')
        --end;
    for (std::size_t k = 0; k < end; ++k)
        if (s[k] == '\r' || s[k] == '\n')
            s[k] = ' ';
}

// What the header must say of the body written under it.
struct HeaderRelabel {
    bool decoded = false;     // the transfer encoding was undone: 8bit
    bool converted = false;   // the charset was converted: the design's Shift_JIS label
};

// The header text of the stored message, line by line: encoded words and
// raw 8-bit text decoded, a non-plain Content-Type relabelled (and any when
// the body's charset was converted), the transfer encoding relabelled when
// the body was decoded, up to and including the empty line that ends it.
CString BuildHeaderText(const char* message, std::size_t length, const HeaderRelabel& relabel)
{
    CString header;
    CString line;
    CUnfoldedLineReader reader(message, length, true);
    const char* position = message;
    while (const char* next = reader.ReadLine(position, line)) {
        position = next;
        const int found = line.Find("=?");
        if (found >= 0 || HoldsEightBit(line)) {
            // An encoded word right after the line's first byte continues
            // the previous line.
            if (found == 1)
                header.TrimRight();
            DecodeHeaderValue(line, line);
            KeepOneLine(line);
        }
        if (IsHeaderField(line, "content-type") && (relabel.converted || line.Find("text/plain") < 0))
            line = kPlainTextContentType;
        else if (relabel.decoded && IsHeaderField(line, "content-transfer-encoding"))
            line = kDecodedTransferEncoding;
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
    // A part that cannot be opened was said in a message box; the message
    // keeps its header and terminator and the run goes on.
    BodySelection body;
    (void)body.Select(message, length);
    const BodyPlan plan = PlanBody(body);
    CString text;
    HeaderRelabel relabel;
    if (body.IsText() && !plan.Streams()) {
        text = DecodedText(PartBody(*body.Part()), plan, relabel.decoded);
        relabel.converted = plan.route == CharsetRoute::kConvert;
    }

    CString header = BuildHeaderText(message, length, relabel);
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

    if (body.IsText() && plan.Streams()) {
        // The body goes out as it is read, converted on the way in pieces of
        // at most kConvertPiece bytes.
        CJisToSjisStream jis;
        const std::size_t piece = std::clamp(length, std::size_t{1}, kConvertPiece);   // the body is never longer than the message
        const auto converted = std::make_unique_for_overwrite<char[]>(piece + CJisToSjisStream::kHeldBack + 1);
        ForEachPartLine(*body.Part(), [&](const char* bytes, std::size_t count) {
            while (count > 0) {
                const std::size_t n = std::min(count, piece);
                const int keep = jis.Convert(bytes, static_cast<int>(n), converted.get());
                if (keep > 0)
                    write(converted.get(), static_cast<std::size_t>(keep));
                bytes += n;
                count -= n;
            }
        });
    } else if (body.IsText()) {
        WriteTextLines(text, write);
    }
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

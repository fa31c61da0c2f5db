#include "writers/EudoraWriter.h"

#include <climits>
#include <cstring>
#include <memory>

#include "coding/Base64.h"
#include "coding/Jis.h"
#include "coding/MimePart.h"
#include "framework/File.h"
#include "framework/Ui.h"
#include "store/Job.h"
#include "store/MailIndexLoader.h"
#include "store/TrayList.h"
#include "writers/CopyMessage.h"
#include "writers/Naming.h"
#include "writers/Progress.h"
#include "writers/StoredMessage.h"
#include "writers/Writers.h"

const char* const kEudoraTerminator = "\r\n.\r\n\r\n";

namespace {

const char kPlainTextContentType[] = "Content-type: text/plain; charset=\"ISO-2022-JP\"\r\n";
const char kBodyPartError[] = "Bodyパートを開くことができませんでした。";
// Body lines are read in pieces of at most this many bytes less one.
constexpr int kLineBufferSize = 4096;

bool IsCrLf(const char* line, int length)
{
    return length == 2 && line[0] == '\r' && line[1] == '\n';
}

// Appends the lines of part that follow its header (the first empty line) to
// body, leaving out "." lines and cutting each line at a zero byte.
void AppendPartLines(CMimePart& part, CString& body)
{
    char line[kLineBufferSize];
    bool inHeader = true;
    for (int n = part.ReadFirstLine(line, kLineBufferSize); n >= 0; n = part.ReadLine(line, kLineBufferSize)) {
        if (inHeader) {
            inHeader = !IsCrLf(line, n);
            continue;
        }
        if (n == 3 && line[0] == '.' && line[1] == '\r' && line[2] == '\n')
            continue;
        body.Append(line, static_cast<int>(strnlen(line, static_cast<size_t>(n))));
    }
}

// Clears the job's current parse on every way out.
struct CurrentParse {
    explicit CurrentParse(CMimeMessage* message) { GetJob().m_pMimeMessage = message; }
    ~CurrentParse() { GetJob().m_pMimeMessage = nullptr; }
    CurrentParse(const CurrentParse&) = delete;
    CurrentParse& operator=(const CurrentParse&) = delete;
};

// True when the parse's structure can be used: its top part has a media type
// (a field before Content-Type did not fail) and its first leaf, which this
// selects, is not a multipart that was left unsplit (nested too deep, or
// beyond the part limit).
bool SelectUsableLeaf(CMimeMessage& parse)
{
    const CMimePart* leaf = parse.FirstLeaf();
    return leaf && !parse.GetRoot()->m_strType.IsEmpty() && leaf->m_strType.CompareNoCase("multipart") != 0;
}

// The body text of the message (length bytes at message): the text lines of
// its first leaf part. A message whose MIME structure cannot be used (its
// parse fails: a multipart cut short, without a boundary or without any body
// part; or SelectUsableLeaf says no) is read as one text part, so that its
// text is not lost.
CString ReadBodyText(const char* message, std::size_t length)
{
    CString body;
    {
        CMimeMessage parse;
        CurrentParse current(&parse);
        if (parse.ParseMemory(message, length) && SelectUsableLeaf(parse)) {
            AppendBodyText(body);
            return body;
        }
    }
    const int end = length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
    CMimePart whole(nullptr, CMimeSource::Memory(message, length), 0, end);
    if (whole.Open())
        AppendPartLines(whole, body);
    else
        AfxMessageBox(kBodyPartError, kMbOk);
    return body;
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

int AppendBodyText(CString& body)
{
    CMimeMessage* message = GetJob().m_pMimeMessage;
    CMimePart* part = message ? message->GetCurrent() : nullptr;
    if (!part || !part->Open()) {
        AfxMessageBox(kBodyPartError, kMbOk);
        return 0;
    }
    if (part->m_strType.CompareNoCase("text") == 0)
        AppendPartLines(*part, body);
    return 1;
}

void ConvertMessageToEudora(const char* message, std::size_t length, CString& out)
{
    CString body = ReadBodyText(message, length);
    ConvertStringJisToSjis(body);

    CString header = BuildHeaderText(message, length);
    header.TrimLeft();
    const SeparatorRule rule = ApplySeparatorRule(header.GetString(), static_cast<std::size_t>(header.GetLength()));
    if (rule.drop > 0)
        header = header.Mid(static_cast<int>(rule.drop));
    if (rule.makeSeparator)
        out += MakeSeparatorLine(kMboxSeparatorFormat);
    ConvertStringJisToSjis(header);
    out += header;
    out += body;
    out += kEudoraTerminator;
}

int ConvertToEudora()
{
    CMailConvJob& job = GetJob();
    std::unique_ptr<CProgressSink> progress = CreateProgressWindow();
    CMailIndexLoader loader;
    CStoredMessage stored;
    CString text;

    for (const CString& tray : job.m_arrSelectedTrays) {
        loader.LoadTrayIndex(tray);
        progress->BeginTray(tray, job.m_nLiveMessageCount);
        const CString storagePath = GetTrayFolderPath(tray) + kStorageFileName;
        const CString outputPath = MakeUniqueFileName(job.m_strOutputDir + "\\" + tray + ".mbx");

        CFile output;
        if (!output.Open(outputPath, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary)) {
            progress.reset();
            job.m_nErrorCode = kErrorFile;
            return 0;
        }
        if (!job.m_pIndexList) {
            progress.reset();
            job.m_nErrorCode = kErrorIndex;
            output.Close();
            return 0;
        }
        CFile storage;
        if (!storage.Open(storagePath, CFile::modeRead | CFile::typeBinary)) {
            output.Close();
            CFile::Remove(outputPath);
            // Messages the index lists cannot be left out silently.
            if (job.m_nLiveMessageCount > 0) {
                progress.reset();
                job.m_nErrorCode = kErrorFile;
                return 0;
            }
            continue;
        }

        int count = 0;
        bool failed = false;
        for (const auto& record : *job.m_pIndexList) {
            if (record->IsRemoved())
                continue;
            progress->SetProgress(++count);
            text.Empty();
            if (!stored.Read(storage, *record)) {
                failed = true;
                break;
            }
            const CStoredMessage::Span message = stored.Message();
            ConvertMessageToEudora(message.text, message.length, text);
            if (!output.Write(text.GetString(), static_cast<UINT>(text.GetLength()))) {
                failed = true;
                break;
            }
        }
        output.Close();
        storage.Close();
        if (failed || output.HasError()) {
            progress.reset();
            job.m_nErrorCode = kErrorFile;
            return 0;
        }
    }
    progress.reset();
    return 1;
}

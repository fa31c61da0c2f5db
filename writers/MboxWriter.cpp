// Formats 1 and 4: one mailbox file per tray, messages after separator lines.
// The UNIX mbox file is "<tray>.mbx" with "From ???@??? " separators; the
// Netscape mailbox is "<tray>" (no extension) with "From - " separators.
#include "writers/CopyMessage.h"
#include "writers/TrayLoop.h"
#include "writers/Writers.h"

namespace {

class CMailboxOutput : public CMailboxFileOutput {
public:
    CMailboxOutput(const CString& outputDir, const char* extension, const char* separatorFormat)
        : CMailboxFileOutput(outputDir, extension), m_separatorFormat(separatorFormat) {}

    bool WriteMessage(const CStoredMessage& message, const CMailIndexData&, int) override
    {
        // A message whose last line has no line end would swallow the
        // next separator; start it on a line of its own.
        if (!Out().AtLineStart())
            Out().Write("\r\n", 2);
        return CopyStoredMessage(message, m_separatorFormat, Out(), true);
    }

private:
    const char* m_separatorFormat;
};

}  // namespace

WriteResult ConvertToMbox(const MailConversion& conversion, CProgressSink& progress)
{
    CMailboxOutput output(conversion.outputDir, ".mbx", kMboxSeparatorFormat);
    return ConvertTrays(conversion, progress, output);
}

WriteResult ConvertToNetscape(const MailConversion& conversion, CProgressSink& progress)
{
    CMailboxOutput output(conversion.outputDir, "", kNetscapeSeparatorFormat);
    return ConvertTrays(conversion, progress, output);
}

// Formats 1 and 4: one mailbox file per tray, messages after separator lines.
// The UNIX mbox file is "<tray>.mbx" with "From ???@??? " separators; the
// Netscape mailbox is "<tray>" (no extension) with "From - " separators.
#include "framework/File.h"
#include "store/Job.h"
#include "store/MailIndexLoader.h"
#include "store/TrayList.h"
#include "writers/CopyMessage.h"
#include "writers/Naming.h"
#include "writers/Progress.h"
#include "writers/Writers.h"

namespace {

int ConvertToMailboxFiles(const char* extension, const char* separatorFormat)
{
    CMailConvJob& job = GetJob();
    std::unique_ptr<CProgressSink> progress = CreateProgressWindow();
    CMailIndexLoader loader;

    auto fail = [&](int code) {
        progress.reset();
        job.m_nErrorCode = code;
        return 0;
    };

    for (const CString& tray : job.m_arrSelectedTrays) {
        loader.LoadTrayIndex(tray);
        progress->BeginTray(tray, job.m_nLiveMessageCount);
        // A storage file that is there but unreadable is no empty tray.
        if (loader.StorageFailed())
            return fail(kErrorFile);
        const CString storagePath = GetTrayFolderPath(tray) + kStorageFileName;
        const CString outputPath = MakeUniqueFileName(job.m_strOutputDir + "\\" + tray + extension);

        CFile output;
        if (!output.Open(outputPath, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary))
            return fail(kErrorFile);
        if (!job.m_pIndexList) {
            output.Close();   // stays on disk, empty
            return fail(kErrorIndex);
        }
        CFile storage;
        if (!storage.Open(storagePath, CFile::modeRead | CFile::typeBinary)) {
            output.Close();
            CFile::Remove(outputPath);
            // Messages the index lists cannot be left out silently.
            if (job.m_nLiveMessageCount > 0)
                return fail(kErrorFile);
            continue;
        }

        CMessageOutput out(output);
        int count = 0;
        for (const auto& record : *job.m_pIndexList) {
            if (record->IsRemoved())
                continue;
            progress->SetProgress(++count);
            // A message whose last line has no line end would swallow the
            // next separator; start it on a line of its own.
            if (!out.AtLineStart())
                out.Write("\r\n", 2);
            const CopyResult result = CopyStoredMessage(storage, *record, separatorFormat, out, true);
            if (result == kCopyReadError || result == kCopyWriteError)
                return fail(kErrorFile);
        }
        const bool written = out.Flush();
        output.Close();
        storage.Close();
        if (!written || output.HasError())
            return fail(kErrorFile);
    }
    progress.reset();
    return 1;
}

}  // namespace

int ConvertToMbox()
{
    return ConvertToMailboxFiles(".mbx", kMboxSeparatorFormat);
}

int ConvertToNetscape()
{
    return ConvertToMailboxFiles("", kNetscapeSeparatorFormat);
}

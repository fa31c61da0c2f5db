#include "writers/TrayLoop.h"

#include "framework/File.h"
#include "store/MailIndexLoader.h"
#include "store/TrayList.h"
#include "writers/Naming.h"
#include "writers/Progress.h"
#include "writers/StoredMessage.h"

WriteResult ConvertTrays(const MailConversion& conversion, CProgressSink& progress, CTrayOutput& output)
{
    const WriteResult fileError{kErrorFile};
    CMailIndexLoader loader(conversion.storeDir);
    CStoredMessage stored;   // one buffer for every message of the run
    for (const CString& tray : conversion.trays) {
        loader.LoadTrayIndex(tray);
        const TrayIndex& index = loader.Index();
        progress.BeginTray(tray, index);
        // A storage file that is there but unreadable is no empty tray.
        if (loader.StorageFailed())
            return fileError;
        CFile storage;
        if (!storage.Open(GetTrayFolderPath(conversion.storeDir, tray) + kStorageFileName,
                          CFile::modeRead | CFile::typeBinary)) {
            // Messages the index lists cannot be left out silently.
            if (index.liveCount > 0)
                return fileError;
            continue;
        }
        CStorageReader reader(storage);
        if (!output.BeginTray(tray))
            return fileError;
        int n = 0;
        for (const auto& record : index.records) {
            if (record->IsRemoved())
                continue;
            if (progress.StopRequested()) {
                if (const CString kept = output.Stopped(); !kept.IsEmpty())
                    progress.TrayWritten(kept);
                return WriteResult{kErrorStopped};
            }
            progress.SetProgress(++n);
            if (!stored.Read(reader, *record))
                return fileError;
            if (stored.Reversed())
                continue;
            if (!output.WriteMessage(stored, *record, n))
                return fileError;
        }
        CString written;
        if (!output.EndTray(&written))
            return fileError;
        progress.TrayWritten(written);
    }
    return WriteResult{};
}

bool CMailboxFileOutput::BeginTray(const CString& tray)
{
    m_final = m_outputDir + "\\" + tray + m_extension;
    if (!m_part.Create(PartFileName(m_final), CFile::modeWrite | CFile::typeBinary))
        return false;
    m_binding.emplace(m_out, m_file);
    return true;
}

bool CMailboxFileOutput::EndTray(CString* written)
{
    const bool flushed = m_out.Flush();
    m_binding.reset();
    if (!flushed) {
        m_part.Abandon();
        return false;
    }
    // One flush to the disk per mailbox costs little beside its bytes.
    return m_part.Close(true) && m_part.Rename(m_final, false, nullptr, written);
}

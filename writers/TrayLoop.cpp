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
            progress.SetProgress(++n);
            if (!stored.Read(reader, *record))
                return fileError;
            if (stored.Reversed())
                continue;
            if (!output.WriteMessage(stored, *record, n))
                return fileError;
        }
        if (!output.EndTray())
            return fileError;
    }
    return WriteResult{};
}

bool CMailboxFileOutput::BeginTray(const CString& tray)
{
    const CString path = MakeUniqueFileName(m_outputDir + "\\" + tray + m_extension);
    if (!m_file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary))
        return false;
    m_binding.emplace(m_out, m_file);
    return true;
}

bool CMailboxFileOutput::EndTray()
{
    const bool written = m_out.Flush();
    m_binding.reset();
    m_file.Close();
    return written && !m_file.HasError();
}

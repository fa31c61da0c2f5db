#include "store/MailIndexLoader.h"

#include "framework/Archive.h"
#include "framework/File.h"
#include "framework/Platform.h"
#include "store/IndexFile.h"
#include "store/StorageScan.h"
#include "store/TrayList.h"

namespace {

// A storage file that does not open is only missing when nothing is at its
// path; a folder or a file without access is there.
bool StorageMissing(const CString& storagePath)
{
    CFileStatus status;
    return !CFile::GetStatus(storagePath, status);
}

}  // namespace

int CMailIndexLoader::CountLiveRecords(const CMailIndexList& records)
{
    int live = 0;
    for (const auto& record : records) {
        if (!record->IsRemoved())
            ++live;
    }
    return live;
}

CMailIndexLoader::ReadResult CMailIndexLoader::ReadIndexFile(const CString& indexPath, const CString& storagePath,
                                                             TrayIndex& index)
{
    index.records.clear();
    index.messageCount = 0;
    index.removedCount = 0;
    index.liveCount = 0;   // an empty list has no live records

    CFile file;
    if (!file.Open(indexPath, CFile::modeRead | CFile::typeBinary)) {
        // Only an index that is not there may be written anew; one that is
        // there but cannot be read (locked, no access) must be kept.
        CFileStatus status;
        return CFile::GetStatus(indexPath, status) ? kIndexUnusable : kIndexMissing;
    }

    // Ranges are checked against the storage file when there is one; without
    // it the writers find nothing to copy anyway.
    std::uint64_t storageLength = kUnknownStorageLength;
    CFileStatus status;
    if (CFile::GetStatus(storagePath, status) && !(status.m_attribute & platform::kAttrDirectory))
        storageLength = status.m_size;

    CArchiveReader in(file);
    IndexContent content;
    if (!ReadIndex(in, storageLength, content))
        return kIndexUnusable;
    index.records = std::move(content.records);
    index.messageCount = static_cast<int>(content.count);
    index.removedCount = content.removed;
    index.liveCount = content.live;
    index.info1 = content.info1;
    index.info2 = content.info2;
    return kIndexLoaded;
}

CMailIndexLoader::StorageResult CMailIndexLoader::ScanStorageFile(const CString& storagePath, bool deleteIfEmpty,
                                                                  TrayIndex& index)
{
    CFile file;
    if (!file.Open(storagePath, CFile::modeRead | CFile::typeBinary))
        return StorageMissing(storagePath) ? StorageResult::kNone : StorageResult::kFailed;
    if (file.GetLength() == 0) {
        file.Close();
        if (deleteIfEmpty)
            CFile::Remove(storagePath);   // one left behind is only an empty tray
        return StorageResult::kNone;
    }
    CFileStorageSource source(file);
    const StorageScanResult scan =
        ScanMessageStorage(source, 0, static_cast<DWORD>(index.messageCount), index.records);
    file.Close();
    if (!scan.complete)
        return StorageResult::kFailed;
    index.messageCount = static_cast<int>(scan.next);
    return StorageResult::kScanned;
}

CMailIndexLoader::StorageResult CMailIndexLoader::ScanStorageTail(const CString& storagePath, TrayIndex& index,
                                                                  int* added)
{
    if (added)
        *added = 0;
    CFile file;
    if (!file.Open(storagePath, CFile::modeRead | CFile::typeBinary))
        return StorageMissing(storagePath) ? StorageResult::kNone : StorageResult::kFailed;
    CFileStorageSource source(file);
    const std::uint64_t start = SkipEmptyLines(source, FurthestIndexedOffset(index.records));
    if (source.Failed())
        return StorageResult::kFailed;
    if (start >= source.Length())
        return StorageResult::kScanned;
    const std::size_t before = index.records.size();
    const StorageScanResult scan =
        ScanMessageStorage(source, start, static_cast<DWORD>(index.messageCount), index.records);
    file.Close();
    if (!scan.complete)
        return StorageResult::kFailed;
    if (added)
        *added = static_cast<int>(index.records.size() - before);
    index.messageCount = static_cast<int>(scan.next);
    index.liveCount = CountLiveRecords(index.records);
    return StorageResult::kScanned;
}

bool CMailIndexLoader::WriteIndexFile(const CString& indexPath, const TrayIndex& index)
{
    CFile file;
    if (!file.Open(indexPath, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary))
        return false;
    bool ok;
    {
        CArchiveWriter out(file);
        WriteIndex(out, index.records, index.info1, index.info2);   // the live count is known already
        ok = out.Flush() && !file.HasError();
    }
    file.Close();
    if (!ok)
        CFile::Remove(indexPath);   // best effort: a broken index is rebuilt next time
    return ok;
}

int CMailIndexLoader::LoadTrayIndex(const CString& tray)
{
    m_bStorageFailed = false;
    const CString folder = GetTrayFolderPath(m_storeDir, tray);
    const CString indexPath = folder + kIndexFileName;
    const CString storagePath = folder + kStorageFileName;
    ReadResult result = ReadIndexFile(indexPath, storagePath, m_index);
    if (result == kIndexLoaded) {
        m_bStorageFailed = ScanStorageTail(storagePath, m_index) == StorageResult::kFailed;
        return m_index.messageCount;
    }

    // Missing: rebuild and write back. Unreadable or unusable: rebuild in
    // memory; the store stays exactly as it is. A storage file that could not
    // be read leaves the store as it is in either case: a partial rebuild is
    // never saved.
    const bool writeBack = result == kIndexMissing && m_writes == Writes::kAllowed;
    const StorageResult scanned = ScanStorageFile(storagePath, writeBack, m_index);
    if (scanned != StorageResult::kScanned) {
        m_bStorageFailed = scanned == StorageResult::kFailed;
        return 0;
    }
    m_index.liveCount = CountLiveRecords(m_index.records);
    if (writeBack) {
        // A tray whose index cannot be written is still converted from the
        // records in memory; the next run rebuilds them again.
        WriteIndexFile(indexPath, m_index);
    }
    return m_index.messageCount;
}

#include "store/MailIndexLoader.h"

#include <climits>

#include "framework/Archive.h"
#include "framework/File.h"
#include "store/IndexFile.h"
#include "store/Job.h"
#include "store/StorageScan.h"
#include "store/TrayList.h"

namespace {

// Creates the job's list, or empties it.
CMailIndexList& FreshIndexList()
{
    CMailConvJob& job = GetJob();
    if (!job.m_pIndexList)
        job.m_pIndexList = std::make_unique<CMailIndexList>();
    else
        job.m_pIndexList->clear();
    return *job.m_pIndexList;
}

CMailIndexList& IndexList()
{
    CMailConvJob& job = GetJob();
    if (!job.m_pIndexList)
        job.m_pIndexList = std::make_unique<CMailIndexList>();
    return *job.m_pIndexList;
}

// A storage file that does not open is only missing when nothing is at its
// path; a folder or a file without access is there.
bool StorageMissing(const CString& storagePath)
{
    CFileStatus status;
    return !CFile::GetStatus(storagePath, status);
}

}  // namespace

int CMailIndexLoader::CountLiveRecords()
{
    int live = 0;
    for (const auto& record : IndexList()) {
        if (!record->IsRemoved())
            ++live;
    }
    return live;
}

CMailIndexLoader::ReadResult CMailIndexLoader::ReadIndexFile(const CString& indexPath, const CString& storagePath)
{
    CMailConvJob& job = GetJob();
    CMailIndexList& list = FreshIndexList();
    job.m_nMessageCount = 0;
    job.m_nRemovedMessageCount = 0;
    job.m_nLiveMessageCount = 0;   // an empty list has no live records

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
    if (CFile::GetStatus(storagePath, status) && !(status.m_attribute & 0x10))
        storageLength = status.m_size;

    CArchiveReader in(file);
    IndexContent content;
    if (!ReadIndex(in, storageLength, content)) {
        list.clear();
        return kIndexUnusable;
    }
    list = std::move(content.records);
    job.m_nMessageCount = static_cast<int>(content.count);
    job.m_nRemovedMessageCount = content.removed;
    job.m_nLiveMessageCount = content.live;
    job.m_dwIndexInfo1 = content.info1;
    job.m_dwIndexInfo2 = content.info2;
    return kIndexLoaded;
}

CMailIndexLoader::StorageResult CMailIndexLoader::ScanStorageFile(const CString& storagePath, bool deleteIfEmpty)
{
    CMailConvJob& job = GetJob();
    CMailIndexList& list = IndexList();
    CFile file;
    if (!file.Open(storagePath, CFile::modeRead | CFile::typeBinary))
        return StorageMissing(storagePath) ? StorageResult::kNone : StorageResult::kFailed;
    if (file.GetLength() == 0) {
        file.Close();
        if (deleteIfEmpty)
            CFile::Remove(storagePath);
        return StorageResult::kNone;
    }
    CFileStorageSource source(file);
    const StorageScanResult scan = ScanMessageStorage(source, 0, static_cast<DWORD>(job.m_nMessageCount), list);
    file.Close();
    if (!scan.complete)
        return StorageResult::kFailed;
    job.m_nMessageCount = static_cast<int>(scan.next);
    return StorageResult::kScanned;
}

CMailIndexLoader::StorageResult CMailIndexLoader::ScanStorageTail(const CString& storagePath, int* added)
{
    CMailConvJob& job = GetJob();
    CMailIndexList& list = IndexList();
    if (added)
        *added = 0;
    CFile file;
    if (!file.Open(storagePath, CFile::modeRead | CFile::typeBinary))
        return StorageMissing(storagePath) ? StorageResult::kNone : StorageResult::kFailed;
    CFileStorageSource source(file);
    const std::uint64_t start = SkipEmptyLines(source, FurthestIndexedOffset(list));
    if (source.Failed())
        return StorageResult::kFailed;
    if (start >= source.Length())
        return StorageResult::kScanned;
    const std::size_t before = list.size();
    const StorageScanResult scan = ScanMessageStorage(source, start, static_cast<DWORD>(job.m_nMessageCount), list);
    file.Close();
    if (!scan.complete)
        return StorageResult::kFailed;
    if (added)
        *added = static_cast<int>(list.size() - before);
    job.m_nMessageCount = static_cast<int>(scan.next);
    job.m_nLiveMessageCount = CountLiveRecords();
    return StorageResult::kScanned;
}

bool CMailIndexLoader::WriteIndexFile(const CString& indexPath)
{
    CMailConvJob& job = GetJob();
    CFile file;
    if (!file.Open(indexPath, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary))
        return false;
    bool ok;
    {
        CArchiveWriter out(file);
        job.m_nLiveMessageCount = WriteIndex(out, IndexList(), job.m_dwIndexInfo1, job.m_dwIndexInfo2);
        ok = out.Flush() && !file.HasError();
    }
    file.Close();
    if (!ok)
        CFile::Remove(indexPath);
    return ok;
}

int CMailIndexLoader::LoadTrayIndex(CString tray)
{
    CMailConvJob& job = GetJob();
    m_bStorageFailed = false;
    CString folder = GetTrayFolderPath(tray);
    const CString storagePath = folder + kStorageFileName;
    ReadResult result = ReadIndexFile(folder + kIndexFileName, storagePath);
    if (result == kIndexLoaded) {
        m_bStorageFailed = ScanStorageTail(storagePath) == StorageResult::kFailed;
        return job.m_nMessageCount;
    }

    // Missing: rebuild and write back. Unreadable or unusable: rebuild in
    // memory; the store stays exactly as it is. A storage file that could not
    // be read leaves the store as it is in either case: a partial rebuild is
    // never saved.
    const StorageResult scanned =
        result == kIndexMissing ? RebuildTrayIndex(tray) : ScanStorageFile(storagePath, false);
    if (scanned != StorageResult::kScanned) {
        m_bStorageFailed = scanned == StorageResult::kFailed;
        return 0;
    }
    job.m_nLiveMessageCount = CountLiveRecords();
    if (result == kIndexMissing)
        SaveTrayIndex(tray);
    return job.m_nMessageCount;
}

CMailIndexLoader::StorageResult CMailIndexLoader::RebuildTrayIndex(CString tray)
{
    return ScanStorageFile(GetTrayFolderPath(tray) + kStorageFileName, true);
}

void CMailIndexLoader::SaveTrayIndex(CString tray)
{
    WriteIndexFile(GetTrayFolderPath(tray) + kIndexFileName);
}

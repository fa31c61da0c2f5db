// CMailIndexLoader: loads a tray's index ("vmmail.idx") into the job's
// m_pIndexList, rebuilds it from the tray's "Message Storage.mbx" when the
// index file is missing or cannot be used, and writes it back when it was
// missing.
//
// Job fields it sets: m_pIndexList (created by the first load of a run,
// emptied by every later one), m_nMessageCount, m_nRemovedMessageCount,
// m_nLiveMessageCount, m_dwIndexInfo1, m_dwIndexInfo2.
//
// The store is written in two cases only, both when the index file does not
// exist: the rebuilt index is written back, and an empty storage file is
// deleted. Recovering from an index that exists but cannot be read or used,
// and finding messages stored after the index was saved, happen in memory.
// A storage file that is there but cannot be read to its end is no empty
// tray: the loader says so (StorageFailed) and writes or deletes nothing.
#pragma once

#include <cstdint>

#include "framework/CString.h"
#include "framework/Types.h"

class CMailIndexLoader {
public:
    // Fills m_pIndexList with the tray's records and answers m_nMessageCount.
    //  - index file readable and sound: its records, counts and trailer values,
    //    followed by the messages that the storage file holds past the
    //    furthest range of the records (removed ones included), which were
    //    stored after the index was saved: they are scanned as a rebuild does,
    //    numbered on from the index's count and counted as live (the index
    //    file is not rewritten). Removed records stay removed.
    //  - index file missing (nothing at its path): the records rebuilt from
    //    the storage file, written back as the tray's index file; an empty
    //    storage file is deleted;
    //  - index file that exists but cannot be opened, or is unusable (see
    //    ReadIndex in store/IndexFile.h): the records rebuilt from the storage
    //    file, used in memory only; nothing is written or deleted, and the
    //    trailer values in the job stay as they were;
    //  - neither index nor storage file, or an empty storage file: an empty
    //    list, 0;
    //  - a storage file that exists but cannot be opened (a folder too) or
    //    read to its end, or that holds messages past the 32-bit offsets of
    //    the index: StorageFailed() is true until the next load; the list
    //    holds the index's records when it was loaded, else nothing, and
    //    nothing is written or deleted.
    // m_pIndexList always exists afterwards.
    int LoadTrayIndex(CString tray);

    // Whether the last LoadTrayIndex found a storage file it could not read:
    // the tray's messages are unknown, and converting it as empty would lose
    // them.
    bool StorageFailed() const { return m_bStorageFailed; }

    // What a scan of a storage file found.
    enum class StorageResult {
        kScanned,   // read to its end
        kNone,      // nothing at the path, or an empty file
        kFailed,    // there, but cannot be opened or read to its end, or too long
    };

    // Scans the tray's storage file and appends one record per message to
    // m_pIndexList, numbered from m_nMessageCount on; m_nMessageCount becomes
    // the next number. An empty storage file is deleted (ScanStorageFile).
    StorageResult RebuildTrayIndex(CString tray);

    // Writes m_pIndexList into the tray's index file (created or emptied) and
    // sets m_nLiveMessageCount. A file that cannot be created is left alone and
    // nothing is reported; a file whose writing failed is removed again, so
    // that no partial index stays behind.
    void SaveTrayIndex(CString tray);

    // Results of ReadIndexFile.
    enum ReadResult { kIndexLoaded = 1, kIndexMissing = 0, kIndexUnusable = -1 };

    // Reads the index file at indexPath into m_pIndexList (which it creates or
    // empties first). Every live record's range must lie inside the file at
    // storagePath when that file exists. kIndexMissing only when nothing
    // exists at indexPath; a file that exists but cannot be opened is
    // kIndexUnusable. On kIndexLoaded the job's counts and trailer values are
    // set; otherwise the list is left empty and the counts are 0, and
    // m_dwIndexInfo1/m_dwIndexInfo2 keep their values.
    static ReadResult ReadIndexFile(const CString& indexPath, const CString& storagePath);

    // Scans the storage file at storagePath, appending records to
    // m_pIndexList (created when missing) numbered from m_nMessageCount, and
    // sets m_nMessageCount to the next number. An empty file is deleted only
    // when deleteIfEmpty is set; nothing else is ever written. On kNone and
    // kFailed the list and m_nMessageCount stay as they were.
    static StorageResult ScanStorageFile(const CString& storagePath, bool deleteIfEmpty);

    // Appends to m_pIndexList the messages of the storage file at storagePath
    // that lie past the furthest offset its records cover (empty lines there
    // skipped; the whole file when the list is empty), numbered on from
    // m_nMessageCount; adds them to m_nMessageCount and m_nLiveMessageCount.
    // *added, when given, receives how many were added (0 unless kScanned).
    // Nothing is written or deleted; on kFailed the list stays as it was.
    static StorageResult ScanStorageTail(const CString& storagePath, int* added = nullptr);

    // Writes m_pIndexList to indexPath with the job's trailer values and sets
    // m_nLiveMessageCount. False when the file could not be created or written
    // (a partly written file is removed).
    static bool WriteIndexFile(const CString& indexPath);

    // Counts the records of m_pIndexList without the removed flag.
    static int CountLiveRecords();

private:
    bool m_bStorageFailed = false;
};

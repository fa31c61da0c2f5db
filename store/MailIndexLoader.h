// CMailIndexLoader: loads a tray's index ("vmmail.idx"), rebuilds it from
// the tray's "Message Storage.mbx" when the index file is missing or cannot
// be used, and writes it back when it was missing (unless the loader was made
// read-only).
//
// The store is written in two cases only, both when the index file does not
// exist: the rebuilt index is written back, and an empty storage file is
// deleted. Recovering from an index that exists but cannot be read or used,
// and finding messages stored after the index was saved, happen in memory.
// A storage file that is there but cannot be read to its end is no empty
// tray: the loader says so (storageFailed) and writes or deletes nothing.
#pragma once

#include <cstdint>

#include "framework/CString.h"
#include "framework/Types.h"
#include "store/MailIndexData.h"

// A tray's index as loaded: its records in index order and its counts.
struct TrayIndex {
    CMailIndexList records;
    int messageCount = 0;   // the next message number
    int removedCount = 0;
    int liveCount = 0;
    // Trailer values 1 and 4 of the index file; a rebuilt index is written
    // back with the values of the last index read.
    DWORD info1 = 0;
    DWORD info2 = 0;
};

class CMailIndexLoader {
public:
    // Whether a load may write a rebuilt index back and delete an empty
    // storage file (a conversion), or must leave the store as it is (listing).
    enum class Writes { kAllowed, kNone };

    explicit CMailIndexLoader(const CString& storeDir, Writes writes = Writes::kAllowed)
        : m_storeDir(storeDir), m_writes(writes) {}

    // Loads the tray's records into Index() and answers its messageCount.
    //  - index file readable and sound: its records, counts and trailer values,
    //    followed by the messages that the storage file holds past the
    //    furthest range of the records (removed ones included), which were
    //    stored after the index was saved: they are scanned as a rebuild does,
    //    numbered on from the index's count and counted as live (the index
    //    file is not rewritten). Removed records stay removed.
    //  - index file missing (nothing at its path): the records rebuilt from
    //    the storage file, written back as the tray's index file; an empty
    //    storage file is deleted (neither with Writes::kNone);
    //  - index file that exists but cannot be opened, or is unusable (see
    //    ReadIndex in store/IndexFile.h): the records rebuilt from the storage
    //    file, used in memory only; nothing is written or deleted, and the
    //    trailer values stay those of the last index read;
    //  - neither index nor storage file, or an empty storage file: no records, 0;
    //  - a storage file that exists but cannot be opened (a folder too) or
    //    read to its end, or that holds messages past the 32-bit offsets of
    //    the index: StorageFailed() is true until the next load; the records
    //    are the index's when it was loaded, else none, and nothing is
    //    written or deleted.
    int LoadTrayIndex(const CString& tray);

    // The records and counts of the last load (one list for the whole run).
    const TrayIndex& Index() const { return m_index; }

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

    // Results of ReadIndexFile.
    enum ReadResult { kIndexLoaded = 1, kIndexMissing = 0, kIndexUnusable = -1 };

    // Reads the index file at indexPath into index, whose records and counts
    // it empties first. Every live record's range must lie inside the file
    // at storagePath when that file exists. kIndexMissing only when nothing
    // exists at indexPath; a file that exists but cannot be opened is
    // kIndexUnusable. On kIndexLoaded the counts and trailer values are set;
    // otherwise the records are empty, the counts 0, and info1/info2 keep
    // their values.
    static ReadResult ReadIndexFile(const CString& indexPath, const CString& storagePath, TrayIndex& index);

    // Scans the storage file at storagePath, appending records to index
    // numbered from its messageCount, and sets messageCount to the next
    // number. An empty file is deleted only when deleteIfEmpty is set;
    // nothing else is ever written. On kNone and kFailed the index stays as
    // it was.
    static StorageResult ScanStorageFile(const CString& storagePath, bool deleteIfEmpty, TrayIndex& index);

    // Appends to index the messages of the storage file at storagePath that
    // lie past the furthest offset its records cover (empty lines there
    // skipped; the whole file without records), numbered on from
    // messageCount; adds them to messageCount and liveCount. *added, when
    // given, receives how many were added (0 unless kScanned). Nothing is
    // written or deleted; on kFailed the index stays as it was.
    static StorageResult ScanStorageTail(const CString& storagePath, TrayIndex& index, int* added = nullptr);

    // Writes index's records to indexPath with its trailer values. False
    // when the file could not be created or written (a partly written file
    // is removed).
    static bool WriteIndexFile(const CString& indexPath, const TrayIndex& index);

    // Counts the records without the removed flag.
    static int CountLiveRecords(const CMailIndexList& records);

private:
    CString m_storeDir;
    Writes m_writes;
    TrayIndex m_index;
    bool m_bStorageFailed = false;
};

// The index file "vmmail.idx": a 32-bit record count, the records, and a
// trailer of four 32-bit values. Each record is CMailIndexData's fields in
// declaration order: a 32-bit number, nine strings (archive string form,
// framework/Archive.h), and four 32-bit values. No magic number, no version.
//
// Reading keeps trailer values 1 and 4 (the job's m_dwIndexInfo1 and
// m_dwIndexInfo2) and drops 2 and 3; writing writes info1 once and info2
// three times.
#pragma once

#include <cstdint>

#include "framework/Types.h"
#include "store/MailIndexData.h"

class CArchiveReader;
class CArchiveWriter;

// The smallest record: number, nine empty strings, four values.
constexpr std::uint64_t kMinIndexRecordSize = 4 + 9 + 16;
constexpr std::uint64_t kIndexTrailerSize = 16;
// Storage length when there is no storage file to check ranges against.
constexpr std::uint64_t kUnknownStorageLength = UINT64_MAX;

struct IndexContent {
    CMailIndexList records;
    DWORD count = 0;
    int removed = 0;
    int live = 0;
    DWORD info1 = 0;
    DWORD info2 = 0;
};

// Reads a whole index: everything the reader has left must be the count, the
// records and the trailer, exactly. False, with content unspecified, when the
// index is unusable:
//  - it ends before its count, records or trailer are complete, or its count
//    is more than its remaining bytes can hold;
//  - bytes are left after the trailer (a count lowered by a damaged byte would
//    otherwise hide the records after it);
//  - a live record (without kIndexFlagRemoved) has a reversed range or one
//    that ends past storageLength. A removed record's range is never copied,
//    so it is kept as it is, whatever it holds.
bool ReadIndex(CArchiveReader& in, std::uint64_t storageLength, IndexContent& content);

// The furthest storage offset that records cover, removed records included:
// the largest m_dwStart or m_dwEnd; 0 without records. Storage past it holds
// messages stored after the index was last saved.
std::uint64_t FurthestIndexedOffset(const CMailIndexList& records);

// Writes records as an index with the trailer info1, info2, info2, info2.
// Answers the number of records without the removed flag. Failures are the
// writer's (CArchiveWriter::Failed).
int WriteIndex(CArchiveWriter& out, const CMailIndexList& records, DWORD info1, DWORD info2);

// One record's fields, in file order.
void ReadIndexRecord(CArchiveReader& in, CMailIndexData& record);
void WriteIndexRecord(CArchiveWriter& out, const CMailIndexData& record);

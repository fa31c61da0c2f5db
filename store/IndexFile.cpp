#include "store/IndexFile.h"

#include <algorithm>
#include <climits>

#include "framework/Archive.h"

void ReadIndexRecord(CArchiveReader& in, CMailIndexData& record)
{
    record.m_nNumber = in.ReadDword();
    record.m_strSubject = in.ReadString();
    record.m_strFrom = in.ReadString();
    record.m_strTo = in.ReadString();
    record.m_strCc = in.ReadString();
    record.m_strBcc = in.ReadString();
    record.m_strReplyTo = in.ReadString();
    record.m_strDate = in.ReadString();
    record.m_strMessageId = in.ReadString();
    record.m_strInReplyTo = in.ReadString();
    record.m_dwFlags = in.ReadDword();
    record.m_dwStart = in.ReadDword();
    record.m_dwEnd = in.ReadDword();
    record.m_dwMark = in.ReadDword();
}

void WriteIndexRecord(CArchiveWriter& out, const CMailIndexData& record)
{
    out.WriteDword(record.m_nNumber);
    out.WriteString(record.m_strSubject);
    out.WriteString(record.m_strFrom);
    out.WriteString(record.m_strTo);
    out.WriteString(record.m_strCc);
    out.WriteString(record.m_strBcc);
    out.WriteString(record.m_strReplyTo);
    out.WriteString(record.m_strDate);
    out.WriteString(record.m_strMessageId);
    out.WriteString(record.m_strInReplyTo);
    out.WriteDword(record.m_dwFlags);
    out.WriteDword(record.m_dwStart);
    out.WriteDword(record.m_dwEnd);
    out.WriteDword(record.m_dwMark);
}

bool ReadIndex(CArchiveReader& in, std::uint64_t storageLength, IndexContent& content)
{
    content = IndexContent();
    DWORD count = in.ReadDword();
    if (in.Failed())
        return false;
    // The count must fit in the bytes that are there; records are then
    // appended one by one as they are read, never allocated by the count.
    if (count > INT_MAX || count > (in.Remaining() - std::min(in.Remaining(), kIndexTrailerSize)) / kMinIndexRecordSize)
        return false;
    for (DWORD i = 0; i < count; ++i) {
        auto record = std::make_unique<CMailIndexData>();
        ReadIndexRecord(in, *record);
        if (in.Failed())
            return false;
        if (record->IsRemoved()) {
            ++content.removed;
        } else {
            if (record->m_dwStart > record->m_dwEnd)
                return false;
            if (storageLength != kUnknownStorageLength && record->m_dwEnd > storageLength)
                return false;
            ++content.live;
        }
        content.records.push_back(std::move(record));
    }
    content.info1 = in.ReadDword();
    in.ReadDword();
    in.ReadDword();
    content.info2 = in.ReadDword();
    if (in.Failed() || in.Remaining() != 0)
        return false;
    content.count = count;
    return true;
}

std::uint64_t FurthestIndexedOffset(const CMailIndexList& records)
{
    std::uint64_t furthest = 0;
    for (const auto& record : records)
        furthest = std::max<std::uint64_t>(furthest, std::max(record->m_dwStart, record->m_dwEnd));
    return furthest;
}

int WriteIndex(CArchiveWriter& out, const CMailIndexList& records, DWORD info1, DWORD info2)
{
    int live = 0;
    out.WriteDword(static_cast<DWORD>(records.size()));
    for (const auto& record : records) {
        WriteIndexRecord(out, *record);
        if (!record->IsRemoved())
            ++live;
    }
    out.WriteDword(info1);
    out.WriteDword(info2);
    out.WriteDword(info2);
    out.WriteDword(info2);
    return live;
}

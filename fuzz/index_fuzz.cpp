// Fuzz target: the index file reader over arbitrary bytes. The first byte
// chooses whether the ranges of live records are checked against a storage
// length.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/Archive.h"
#include "store/IndexFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::uint64_t storageLength = (data[0] & 1) ? kUnknownStorageLength : static_cast<std::uint64_t>(data[0]) << 4;
    CArchiveReader in(data + 1, size - 1);
    IndexContent content;
    if (ReadIndex(in, storageLength, content)) {
        // A usable index: every byte read, counts agree with the records, the
        // ranges of live records are sound (removed ones are kept as read),
        // and the furthest offset covers every range.
        if (in.Remaining() != 0 || content.records.size() != content.count ||
            content.removed + content.live != static_cast<int>(content.count))
            __builtin_trap();
        const std::uint64_t furthest = FurthestIndexedOffset(content.records);
        int live = 0;
        for (const auto& r : content.records) {
            if (r->m_dwStart > furthest || r->m_dwEnd > furthest)
                __builtin_trap();
            if (r->IsRemoved())
                continue;
            ++live;
            if (r->m_dwStart > r->m_dwEnd || (storageLength != kUnknownStorageLength && r->m_dwEnd > storageLength))
                __builtin_trap();
        }
        if (live != content.live)
            __builtin_trap();
        // Writing it back and reading that again gives the same records.
        CArchiveWriter out;
        WriteIndex(out, content.records, content.info1, content.info2);
        CArchiveReader again(out.Bytes().data(), out.Bytes().size());
        IndexContent second;
        if (!ReadIndex(again, storageLength, second) || second.count != content.count ||
            second.info1 != content.info1 || second.info2 != content.info2)
            __builtin_trap();
        for (std::size_t i = 0; i < content.records.size(); ++i) {
            const CMailIndexData& a = *content.records[i];
            const CMailIndexData& b = *second.records[i];
            if (a.m_strSubject != b.m_strSubject || a.m_strInReplyTo != b.m_strInReplyTo || a.m_dwEnd != b.m_dwEnd ||
                a.m_dwMark != b.m_dwMark)
                __builtin_trap();
        }
        // One byte more after the trailer makes the same index unusable.
        std::string longer = out.Bytes() + '\0';
        CArchiveReader extra(longer.data(), longer.size());
        IndexContent third;
        if (ReadIndex(extra, storageLength, third))
            __builtin_trap();
    }
    return 0;
}

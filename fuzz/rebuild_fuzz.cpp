// Fuzz target: the rebuild scan over arbitrary storage bytes. The scan runs
// with the normal buffer and with a tiny one chosen by the first byte; both
// must give the same records, with sound ranges inside the storage.
#include <cstddef>
#include <cstdint>

#include "store/StorageScan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::size_t block = 1 + data[0] % 32;
    const std::uint8_t* bytes = data + 1;
    std::size_t length = size - 1;

    CMemoryStorageSource source(bytes, length);
    CMailIndexList big;
    DWORD next = ScanMessageStorage(source, 0, big);
    CMailIndexList small;
    ScanMessageStorage(source, 0, small, block);
    if (next != big.size() || big.size() != small.size())
        __builtin_trap();
    std::uint64_t previousEnd = 0;
    for (std::size_t i = 0; i < big.size(); ++i) {
        const CMailIndexData& a = *big[i];
        const CMailIndexData& b = *small[i];
        if (a.m_dwStart < previousEnd || a.m_dwStart > a.m_dwEnd || a.m_dwEnd > length)
            __builtin_trap();
        previousEnd = a.m_dwEnd;
        if (a.m_dwStart != b.m_dwStart || a.m_dwEnd != b.m_dwEnd || a.m_dwFlags != b.m_dwFlags ||
            a.m_strSubject != b.m_strSubject || a.m_strFrom != b.m_strFrom || a.m_strTo != b.m_strTo ||
            a.m_strCc != b.m_strCc || a.m_strBcc != b.m_strBcc || a.m_strReplyTo != b.m_strReplyTo ||
            a.m_strDate != b.m_strDate || a.m_strMessageId != b.m_strMessageId ||
            a.m_strInReplyTo != b.m_strInReplyTo || a.m_dwMark != b.m_dwMark)
            __builtin_trap();
    }
    // Every line belongs to a message: the last record ends at the end, or
    // at most the empty line that may follow a "." line comes after it.
    if (length > 0 && (big.empty() || big.back()->m_dwEnd + std::uint64_t{2} < length))
        __builtin_trap();
    return 0;
}

// Fuzz target: the rebuild scan over arbitrary storage bytes. The scan runs
// with the normal buffer and with a tiny one chosen by the first byte; both
// must give the same records, with sound ranges inside the storage. The first
// byte also picks where two further scans start: at a message boundary that
// the whole scan found (they must give that scan's later records) and at an
// arbitrary offset (ranges absolute, from that offset on).
#include <cstddef>
#include <cstdint>

#include "store/StorageScan.h"

namespace {

bool SameRecord(const CMailIndexData& a, const CMailIndexData& b)
{
    return a.m_nNumber == b.m_nNumber && a.m_dwStart == b.m_dwStart && a.m_dwEnd == b.m_dwEnd &&
           a.m_dwFlags == b.m_dwFlags && a.m_strSubject == b.m_strSubject && a.m_strFrom == b.m_strFrom &&
           a.m_strTo == b.m_strTo && a.m_strCc == b.m_strCc && a.m_strBcc == b.m_strBcc &&
           a.m_strReplyTo == b.m_strReplyTo && a.m_strDate == b.m_strDate && a.m_strMessageId == b.m_strMessageId &&
           a.m_strInReplyTo == b.m_strInReplyTo && a.m_dwMark == b.m_dwMark;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::size_t block = 1 + data[0] % 32;
    const std::uint8_t* bytes = data + 1;
    std::size_t length = size - 1;

    CMemoryStorageSource source(bytes, length);
    CMailIndexList big;
    // Bytes in memory are always read to their end.
    const StorageScanResult whole = ScanMessageStorage(source, 0, 0, big);
    const DWORD next = whole.next;
    CMailIndexList small;
    if (!whole.complete || !ScanMessageStorage(source, 0, 0, small, block).complete)
        __builtin_trap();
    if (next != big.size() || big.size() != small.size())
        __builtin_trap();
    std::uint64_t previousEnd = 0;
    for (std::size_t i = 0; i < big.size(); ++i) {
        const CMailIndexData& a = *big[i];
        if (a.m_dwStart < previousEnd || a.m_dwStart > a.m_dwEnd || a.m_dwEnd > length)
            __builtin_trap();
        previousEnd = a.m_dwEnd;
        if (a.m_nNumber != i || !SameRecord(a, *small[i]))
            __builtin_trap();
    }
    // Every line belongs to a message: the last record ends at the end, or
    // at most the empty line that may follow a "." line comes after it.
    if (length > 0 && (big.empty() || big.back()->m_dwEnd + std::uint64_t{2} < length))
        __builtin_trap();

    // From the start of a later message on, the scan gives the same records.
    std::size_t k = 1 + (data[0] >> 5);
    if (k < big.size()) {
        CMailIndexList later;
        const StorageScanResult after =
            ScanMessageStorage(source, big[k]->m_dwStart, static_cast<DWORD>(k), later, block);
        if (!after.complete || after.next != next || later.size() != big.size() - k)
            __builtin_trap();
        for (std::size_t i = 0; i < later.size(); ++i) {
            if (!SameRecord(*later[i], *big[k + i]))
                __builtin_trap();
        }
    }

    // From an arbitrary offset: records from exactly there to the end.
    const std::uint64_t start = (data[0] * 2654435761u) % (length + 1);
    CMailIndexList tail;
    if (!ScanMessageStorage(source, start, 0, tail, block).complete)
        __builtin_trap();
    previousEnd = start;
    for (const auto& r : tail) {
        if (r->m_dwStart < previousEnd || r->m_dwStart > r->m_dwEnd || r->m_dwEnd > length)
            __builtin_trap();
        previousEnd = r->m_dwEnd;
    }
    if (start < length && (tail.empty() || tail.front()->m_dwStart != start || previousEnd + 2 < length))
        __builtin_trap();
    if (start == length && !tail.empty())
        __builtin_trap();

    // Skipping empty lines steps over CR and LF bytes only, and stops at the
    // first byte that does not begin an empty line.
    const std::uint64_t skipped = SkipEmptyLines(source, start);
    if (skipped < start || skipped > length)
        __builtin_trap();
    for (std::uint64_t i = start; i < skipped; ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            __builtin_trap();
    }
    if (skipped < length &&
        (bytes[skipped] == '\n' ||
         (bytes[skipped] == '\r' && (skipped + 1 == length || bytes[skipped + 1] == '\n'))))
        __builtin_trap();
    return 0;
}

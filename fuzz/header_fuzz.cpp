// Fuzz target: the header tokenizer in both modes and both walks (bytes,
// Shift_JIS) with small capacities, the field-name test and the five field
// parsers.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "coding/MimeHeader.h"
#include "framework/CString.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > (1u << 16))
        return 0;
    const int capacity = 1 + data[0] % 16;
    const CString line(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));

    for (int run = 0; run < 4; ++run) {
        const int mode = run & 1;
        const int walk = run >> 1 ? kHeaderWalkSjis : kHeaderWalkBytes;
        std::vector<char> buf(static_cast<size_t>(capacity));   // exactly capacity bytes
        int pos = 0;
        for (;;) {
            const int before = pos;
            const int kind = NextHeaderToken(mode, line, pos, buf.data(), capacity, walk);
            if (kind == kHeaderTokenEnd || kind == kHeaderTokenError)
                break;
            if (pos <= before || pos > line.GetLength())
                std::abort();   // every token moves forward and stays inside
        }
    }

    HeaderTextWalkFor(line);
    CMimeHeaderFacts facts;
    IsHeaderField(line, "Content-Type");
    ParseMimeVersion(line, facts);
    ParseContentType(line, facts);
    ParseContentTransferEncoding(line, facts);
    ParseContentDisposition(line, facts);
    ParseContentId(line, facts);
    for (const CMimeParam* p = facts.m_params.GetFirst(); p; p = facts.m_params.GetNext()) {
        if (p->m_strName.IsEmpty())
            std::abort();
    }
    facts.m_params.Find("boundary");
    return 0;
}

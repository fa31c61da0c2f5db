// Fuzz target: the transfer decoders of bodies (lenient Base64,
// quoted-printable in body and header mode) never read or write beyond their
// bounds, and their results are never longer than the rule allows.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "coding/TransferDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy, so that a read beyond the input is caught.
    const std::vector<char> text(data, data + size);
    const char* const p = text.empty() ? nullptr : text.data();

    CString decoded;
    if (AppendBase64Decoded(p, size, decoded)) {
        if (static_cast<std::size_t>(decoded.GetLength()) > size / 4 * 3 + 2)
            std::abort();
    } else if (!decoded.IsEmpty()) {
        std::abort();   // a text that cannot be decoded appends nothing
    }
    for (const bool header : {false, true}) {
        CString qp;
        AppendQuotedPrintableDecoded(p, size, qp, header);
        if (static_cast<std::size_t>(qp.GetLength()) > size)
            std::abort();
    }
    return 0;
}

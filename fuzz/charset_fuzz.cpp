// Fuzz target: text in a MIME charset turned into Shift_JIS. The first byte
// picks the charset label from a list (names, aliases and spellings of every
// route); the rest is the text. The as-is route must append exactly the text,
// an unknown charset too; a converted text must come out as whole code page
// 932 characters, and the JIS route never longer than its input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "coding/Charset.h"
#include "framework/CString.h"
#include "framework/Sjis.h"

namespace {

const char* const kLabels[] = {
    "",            "ISO-2022-JP", "us-ascii",     "Shift_JIS",   "\"cp932\"",  "x-sjis",     "EUC-JP",
    "x-euc-jp",    "UTF-8",       "utf8",         "UTF-7",       "ISO-8859-1", "latin1",     "iso-8859-7",
    "ISO_8859-15", "windows-1252", "windows-1255", "windows-1258", "KOI8-R",   "koi8-u",     "windows-874",
    "EUC-KR",      "ks_c_5601-1987", "Big5",      "GB2312",      "GBK",        "GB18030",    "x-unknown",
    "utf-16",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > (1u << 20))
        return 0;
    const char* label = kLabels[data[0] % std::size(kLabels)];
    const char* text = reinterpret_cast<const char*>(data + 1);
    const std::size_t n = size - 1;
    const CString charset(label);
    const CharsetRoute route = CharsetRouteFor(charset);

    CString out("<");
    const bool known = AppendAsSjis(charset, text, n, out);
    if (out.GetLength() < 1 || out[0] != '<')
        std::abort();
    const std::string got = out.Str().substr(1);
    switch (route) {
    case CharsetRoute::kAsIs:
    case CharsetRoute::kUnknown:
        if (known != (route == CharsetRoute::kAsIs) || got != std::string(text, n))
            std::abort();
        break;
    case CharsetRoute::kJis:
        if (!known || got.size() > n)
            std::abort();
        break;
    case CharsetRoute::kConvert:
        // (false only where this system has no converter: then unchanged)
        if (!known) {
            if (got != std::string(text, n))
                std::abort();
            break;
        }
        for (std::size_t i = 0; i < got.size(); ++i) {
            const BYTE b = static_cast<BYTE>(got[i]);
            if (!IsSjisLeadByte(b))
                continue;
            if (i + 1 == got.size() || !IsCp932Assigned(b, static_cast<BYTE>(got[i + 1])))
                std::abort();
            ++i;
        }
        break;
    }
    return 0;
}

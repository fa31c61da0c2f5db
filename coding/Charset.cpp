#include "coding/Charset.h"

#include <string_view>

#include "coding/Jis.h"
#include "framework/Ascii.h"

const char kGetaMark[3] = "\x81\xAC";

namespace {

std::string_view Trimmed(const char* name, std::size_t length)
{
    std::string_view s(name, length);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '"'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '"'))
        s.remove_suffix(1);
    return s;
}

bool Is(std::string_view s, std::string_view name)
{
    return AsciiEqualsNoCase(s, name);
}

}  // namespace

CharsetRoute CharsetRouteFor(const char* name, std::size_t length)
{
    const std::string_view s = Trimmed(name, length);
    if (s.empty() || Is(s, "iso-2022-jp") || Is(s, "us-ascii"))
        return CharsetRoute::kJis;
    if (Is(s, "shift_jis") || Is(s, "cp932") || Is(s, "windows-31j"))
        return CharsetRoute::kAsIs;
    return CharsetRoute::kUnknown;
}

bool AppendAsSjis(const char* charset, std::size_t charsetLength, const char* text, std::size_t n, CString& out)
{
    switch (CharsetRouteFor(charset, charsetLength)) {
    case CharsetRoute::kJis: {
        CString converted;
        converted.Append(text, static_cast<int>(n));
        ConvertStringJisToSjis(converted);
        out += converted;
        return true;
    }
    case CharsetRoute::kAsIs:
    case CharsetRoute::kConvert:
        out.Append(text, static_cast<int>(n));
        return true;
    case CharsetRoute::kUnknown:
        break;
    }
    out.Append(text, static_cast<int>(n));
    return false;
}

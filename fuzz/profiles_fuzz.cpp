// Fuzz target: Thunderbird's profile list (profiles.ini, installs.ini) read
// and its default profile chosen. The first byte chooses the path style and
// whether profiles.ini is there; the rest is profiles.ini, then, after the
// first 0xFF byte, installs.ini.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/ThunderbirdProfile.h"

namespace {

void CheckSections(const std::string& text)
{
    std::vector<IniSection> sections;
    const bool ok = ParseIni(text, sections);
    if (sections.size() > kMaxIniSections || (!ok && text.size() <= kMaxIniBytes && sections.size() < kMaxIniSections))
        __builtin_trap();
    for (const IniSection& s : sections) {
        if (s.name.find_first_of("]\r\n") != std::string::npos)
            __builtin_trap();
        for (std::size_t i = 0; i < s.entries.size(); ++i) {
            const std::string& key = s.entries[i].first;
            const std::string& value = s.entries[i].second;
            if (key.empty() || key.find_first_of("=\r\n") != std::string::npos || value.find_first_of("\r\n") != std::string::npos)
                __builtin_trap();
            if (key.front() == ' ' || key.front() == '\t' || key.back() == ' ' || key.back() == '\t')
                __builtin_trap();
            for (std::size_t k = 0; k < i; ++k) {
                if (s.entries[k].first == key)
                    __builtin_trap();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const PathStyle style = (data[0] & 1) ? PathStyle::kWindows : PathStyle::kPosix;
    const bool noList = (data[0] & 2) != 0;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t cut = rest.find('\xFF');
    const std::string profiles = rest.substr(0, cut);
    const std::optional<std::string> installs =
        cut == std::string::npos ? std::nullopt : std::optional<std::string>(rest.substr(cut + 1));
    CheckSections(profiles);
    if (installs)
        CheckSections(*installs);

    const std::string folder = style == PathStyle::kWindows ? "C:\\Users\\u\\AppData\\Roaming\\Thunderbird" : "/h/.thunderbird";
    const ProfileChoice choice = ChooseDefaultProfile(folder, style, [&](const std::string& name) -> std::optional<std::string> {
        if (name == "profiles.ini")
            return noList ? std::nullopt : std::optional<std::string>(profiles);
        if (name == "installs.ini")
            return installs;
        __builtin_trap();
    });
    switch (choice.outcome) {
    case ProfileChoice::kChosen:
        if (choice.profile.path.empty() || !choice.candidates.empty())
            __builtin_trap();
        break;
    case ProfileChoice::kAmbiguous:
        if (choice.candidates.size() < 2)
            __builtin_trap();
        break;
    default:
        if (!choice.candidates.empty() || !choice.profile.path.empty() || (noList && choice.outcome != ProfileChoice::kNoList))
            __builtin_trap();
        break;
    }
    return 0;
}

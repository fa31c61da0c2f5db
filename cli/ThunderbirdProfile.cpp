#include "cli/ThunderbirdProfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "framework/CString.h"
#include "writers/Naming.h"

namespace fs = std::filesystem;

// ---- The INI files -----------------------------------------------------------------

const std::string* IniSection::Find(const std::string& key) const
{
    for (const auto& entry : entries) {
        if (entry.first == key)
            return &entry.second;
    }
    return nullptr;
}

namespace {

bool Blank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text, std::size_t begin, std::size_t end)
{
    while (begin < end && Blank(text[begin]))
        ++begin;
    while (end > begin && Blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

}  // namespace

bool ParseIni(const std::string& text, std::vector<IniSection>& sections)
{
    sections.clear();
    if (text.size() > kMaxIniBytes)
        return false;
    std::size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    IniSection* current = nullptr;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        const std::size_t next = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
        std::size_t begin = pos;
        pos = next;
        while (begin < end && Blank(text[begin]))
            ++begin;
        if (begin == end || text[begin] == ';' || text[begin] == '#')
            continue;
        if (text[begin] == '[') {
            const std::size_t close = text.find(']', begin + 1);
            if (close == std::string::npos || close >= end) {
                current = nullptr;   // a broken section line: its entries are not taken
                continue;
            }
            if (sections.size() >= kMaxIniSections)
                return false;
            sections.push_back({text.substr(begin + 1, close - begin - 1), {}});
            current = &sections.back();
            continue;
        }
        const std::size_t eq = text.find('=', begin);
        if (!current || eq == std::string::npos || eq >= end)
            continue;
        std::string key = Trimmed(text, begin, eq), value = Trimmed(text, eq + 1, end);
        if (key.empty())
            continue;
        bool replaced = false;
        for (auto& entry : current->entries) {
            if (entry.first == key) {
                entry.second = std::move(value);
                replaced = true;
                break;
            }
        }
        if (!replaced)
            current->entries.emplace_back(std::move(key), std::move(value));
    }
    return true;
}

// ---- The default profile -------------------------------------------------------------

namespace {

struct Listed {
    ThunderbirdProfile profile;
    std::string descriptor;   // Path= as written
    bool markedDefault = false;
};

bool IsProfileSection(const std::string& name)
{
    if (name.size() <= 7 || name.compare(0, 7, "Profile") != 0)
        return false;
    for (std::size_t i = 7; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
    }
    return true;
}

std::string Resolve(const std::string& iniFolder, PathStyle style, const std::string& path, bool relative)
{
    if (!relative)
        return path;
    const char sep = style == PathStyle::kWindows ? '\\' : '/';
    std::string joined = iniFolder;
    if (joined.empty() || joined.back() != sep)
        joined += sep;
    for (char c : path)
        joined += c == '/' ? sep : c;
    return joined;
}

// The default paths of the "[Install...]" sections (profiles.ini) or of
// every section (installs.ini, whose sections are the installs).
std::vector<std::string> InstallDefaults(const std::vector<IniSection>& sections, bool installsIni)
{
    std::vector<std::string> paths;
    for (const IniSection& s : sections) {
        if (!installsIni && s.name.compare(0, 7, "Install") != 0)
            continue;
        if (const std::string* path = s.Find("Default"); path && !path->empty())
            paths.push_back(*path);
    }
    return paths;
}

}  // namespace

ProfileChoice ChooseDefaultProfile(const std::string& iniFolder, PathStyle style, const IniReader& read)
{
    ProfileChoice choice;
    const std::optional<std::string> profilesIni = read("profiles.ini");
    std::vector<IniSection> sections;
    if (!profilesIni || !ParseIni(*profilesIni, sections))
        return choice;   // kNoList

    std::vector<Listed> listed;
    for (const IniSection& s : sections) {
        if (!IsProfileSection(s.name))
            continue;
        const std::string* path = s.Find("Path");
        if (!path || path->empty())
            continue;   // Mozilla skips a profile without a path too
        const std::string* relative = s.Find("IsRelative");
        const std::string* name = s.Find("Name");
        const std::string* def = s.Find("Default");
        Listed entry;
        entry.descriptor = *path;
        entry.profile.name = name ? *name : std::string();
        entry.profile.path = Resolve(iniFolder, style, *path, relative && *relative == "1");
        entry.markedDefault = def && *def == "1";
        listed.push_back(std::move(entry));
    }
    if (listed.empty()) {
        choice.outcome = ProfileChoice::kNoProfile;
        return choice;
    }

    std::vector<std::string> installs = InstallDefaults(sections, false);
    if (installs.empty()) {
        std::vector<IniSection> installSections;
        if (const std::optional<std::string> installsIni = read("installs.ini");
            installsIni && ParseIni(*installsIni, installSections))
            installs = InstallDefaults(installSections, true);
    }
    // The installs' choice when they agree on one listed profile.
    const Listed* named = nullptr;
    bool agree = true;
    for (const std::string& path : installs) {
        const Listed* match = nullptr;
        for (const Listed& entry : listed) {
            if (entry.descriptor == path || entry.profile.path == path) {
                match = &entry;
                break;
            }
        }
        if (match && named && match != named)
            agree = false;
        if (match && !named)
            named = match;
    }
    const Listed* chosen = agree ? named : nullptr;
    if (!chosen) {
        for (const Listed& entry : listed) {
            if (entry.markedDefault) {
                chosen = &entry;
                break;
            }
        }
    }
    if (!chosen && listed.size() == 1)
        chosen = &listed.front();
    if (chosen) {
        choice.outcome = ProfileChoice::kChosen;
        choice.profile = chosen->profile;
        return choice;
    }
    choice.outcome = ProfileChoice::kAmbiguous;
    for (const Listed& entry : listed)
        choice.candidates.push_back(entry.profile);
    return choice;
}

std::string ThunderbirdIniFolder(PathStyle style, bool mac, const std::string& home, const std::string& appData)
{
    if (style == PathStyle::kWindows) {
        if (appData.empty())
            return std::string();
        return appData + (appData.back() == '\\' ? "" : "\\") + "Thunderbird";
    }
    if (home.empty())
        return std::string();
    return home + (home.back() == '/' ? "" : "/") + (mac ? "Library/Thunderbird" : ".thunderbird");
}

// ---- The profile's files ----------------------------------------------------------------

std::vector<std::string> ProfileLockNames(PathStyle style)
{
    if (style == PathStyle::kWindows)
        return {"parent.lock"};
    return {"lock", ".parentlock"};
}

namespace {

// lstat: a symbolic link counts, dangling or not. An error other than "no
// such file" counts too: what cannot be looked at may be a lock.
bool Present(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// True when the profile's prefs.js gives an account the folder Mail/Local
// Folders (the pref Thunderbird writes for its Local Folders account).
bool PrefsNameLocalFolders(const std::string& profile)
{
    constexpr std::size_t kMaxPrefsBytes = 64 << 20;
    std::ifstream in(profile + "/prefs.js", std::ios::binary);
    if (!in)
        return false;
    std::string text(kMaxPrefsBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text.find("\"[ProfD]Mail/Local Folders\"") != std::string::npos;
}

}  // namespace

namespace {

// True when a process holds a lock on the file: a running Thunderbird locks
// its ".parentlock", which stays behind, unlocked, when it quits. A file that
// cannot be asked counts as locked.
bool HeldByAnother(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno != ENOENT;
    struct flock query {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    const bool held = ::fcntl(fd, F_GETLK, &query) != 0 || query.l_type != F_UNLCK;
    ::close(fd);   // only read
    return held;
}

}  // namespace

std::string FindProfileLock(const std::string& profile)
{
    for (const std::string& name : ProfileLockNames(PathStyle::kPosix)) {
        const std::string path = profile + "/" + name;
        if (name == ".parentlock" ? Present(path) && HeldByAnother(path) : Present(path))
            return name;
    }
    return std::string();
}

std::string PlanThunderbirdTarget(const std::string& profile, ThunderbirdTarget& target)
{
    const std::string where = "Thunderbird profile " + profile;
    if (!Present(profile))
        return where + ": no such folder";
    if (!IsFolder(profile))
        return where + " is not a folder";
    if (!Present(profile + "/prefs.js") && !Present(profile + "/times.json") && !Present(profile + "/Mail"))
        return where + " does not look like a profile (no prefs.js, times.json or Mail folder)";
    if (const std::string lock = FindProfileLock(profile); !lock.empty())
        return where + " is in use (its lock file " + lock +
               " is there): close Thunderbird first (a lock left by a crash goes when Thunderbird starts and "
               "quits again)";
    const std::string mail = profile + "/Mail";
    if (Present(mail) && !IsFolder(mail))
        return where + ": " + mail + " is not a folder";
    target.localFolders = mail + "/Local Folders";
    target.makeLocalFolders = !Present(target.localFolders);
    if (!target.makeLocalFolders && !IsFolder(target.localFolders))
        return where + ": " + target.localFolders + " is not a folder";
    // Thunderbird makes the folder of a new Local Folders account under a
    // unique name ("Local Folders-1" when "Local Folders" is there): made
    // before that, the mail would not be shown. Made only for the account
    // prefs.js already has.
    if (target.makeLocalFolders && !PrefsNameLocalFolders(profile))
        return where + " has no Local Folders yet: start Thunderbird with it once, close it, and run again";
    // One name for the pair: the first number free for the file and its folder.
    for (int n = 0; n < 10000; ++n) {
        const std::string name = NumberedFileName(CString("Velmora"), n).Str();
        const std::string mailbox = target.localFolders + "/" + name;
        if (!Present(mailbox) && !Present(mailbox + ".sbd")) {
            target.mailbox = mailbox;
            target.folder = mailbox + ".sbd";
            return std::string();
        }
    }
    return where + ": no free name for the folder Velmora in " + target.localFolders;
}

std::string MakeThunderbirdTarget(const ThunderbirdTarget& target)
{
    std::error_code ec;
    if (target.makeLocalFolders) {
        fs::create_directories(target.localFolders, ec);
        if (ec)
            return "cannot create " + target.localFolders + ": " + ec.message();
    }
    // O_EXCL: never replaces a file that appeared since the check.
    const int fd = ::open(target.mailbox.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return "cannot create " + target.mailbox + ": " + std::strerror(errno);
    ::close(fd);
    return std::string();
}

std::string FindHostDefaultProfile(std::string& profile)
{
#ifdef __APPLE__
    const bool mac = true;
#else
    const bool mac = false;
#endif
    const char* home = std::getenv("HOME");
    const std::string folder = ThunderbirdIniFolder(PathStyle::kPosix, mac, home ? home : "", "");
    const std::string hint = ": give the profile folder with --profile DIR";
    if (folder.empty())
        return "HOME is not set, so Thunderbird's profile list cannot be found" + hint;
    const IniReader read = [&folder](const std::string& name) -> std::optional<std::string> {
        std::ifstream in(folder + "/" + name, std::ios::binary);
        if (!in)
            return std::nullopt;
        std::string text(kMaxIniBytes + 1, '\0');   // one byte more tells a file too large
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        if (in.bad())
            return std::nullopt;
        text.resize(static_cast<std::size_t>(in.gcount()));
        return text;
    };
    const std::string ini = folder + "/profiles.ini";
    const ProfileChoice choice = ChooseDefaultProfile(folder, PathStyle::kPosix, read);
    switch (choice.outcome) {
    case ProfileChoice::kChosen:
        profile = choice.profile.path;
        return std::string();
    case ProfileChoice::kNoList:
        return "no Thunderbird profile list " + ini + " (or it cannot be read)" + hint;
    case ProfileChoice::kNoProfile:
        return ini + " lists no Thunderbird profile" + hint;
    case ProfileChoice::kAmbiguous:
        break;
    }
    std::string list;
    for (const ThunderbirdProfile& p : choice.candidates)
        list += "\n  " + (p.name.empty() ? std::string("(no name)") : p.name) + "  " + p.path;
    return ini + " lists " + std::to_string(choice.candidates.size()) +
           " Thunderbird profiles and none is the default" + hint + " of one of them:" + list;
}

bool InsideHostFolder(const std::string& path, const std::string& folder)
{
    const fs::path p = fs::absolute(path).lexically_normal(), f = fs::absolute(folder).lexically_normal();
    const fs::path rel = p.lexically_relative(f);
    return !rel.empty() && *rel.begin() != "..";
}

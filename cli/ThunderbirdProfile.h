// Thunderbird's profiles for `velmora-convert --format thunderbird`: the
// profile list (profiles.ini, installs.ini) read as Mozilla writes it, the
// default profile chosen from it, the profile's lock files and the folder
// of Local Folders where the converted mailboxes go.
// Texts and paths here are UTF-8, as in Mozilla's files; nothing below is
// Shift_JIS, so the '\\' searched in Windows paths is always a separator.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// ---- The INI files -----------------------------------------------------------------

// Limits on what is read from outside: larger files and more sections are refused.
constexpr std::size_t kMaxIniBytes = 1 << 20;
constexpr std::size_t kMaxIniSections = 4096;

struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;   // in file order, keys unique (the last one kept)

    // The value of key (compared exactly, as Mozilla does), or nullptr.
    const std::string* Find(const std::string& key) const;
};

// Parses an INI text as Mozilla's profile files are written: an optional
// UTF-8 byte order mark, lines ended by LF, CR LF or CR, "[name]" opening a
// section (what follows "]" ignored; a line without "]" drops the entries
// up to the next section), "key=value" with blanks around key and value
// trimmed, ';' or '#' starting a comment line; entries outside a section and
// lines without '=' are ignored. Answers false (sections left partial) when
// text is longer than kMaxIniBytes or opens more than kMaxIniSections.
bool ParseIni(const std::string& text, std::vector<IniSection>& sections);

// ---- The default profile -------------------------------------------------------------

enum class PathStyle { kPosix, kWindows };

struct ThunderbirdProfile {
    std::string name;   // Name=, may be empty
    std::string path;   // the profile folder, made absolute from the ini's folder when IsRelative=1
};

struct ProfileChoice {
    enum Outcome {
        kChosen,      // profile
        kNoList,      // no profiles.ini (or it could not be read, or is too large)
        kNoProfile,   // profiles.ini lists no profile
        kAmbiguous,   // several profiles and none marked the default: candidates
    } outcome = kNoList;
    ThunderbirdProfile profile;
    std::vector<ThunderbirdProfile> candidates;
};

// Reads a file of the ini folder by its name ("profiles.ini"): its bytes, or
// nothing when it is missing or cannot be read. A reader refuses files over
// kMaxIniBytes (answers nothing or a longer text: both count as unreadable).
using IniReader = std::function<std::optional<std::string>(const std::string& name)>;

// The profile Thunderbird starts with, from the profile list in iniFolder
// (read through read): the profile a "[Install...]" section of profiles.ini
// names by its "Default=" path (or, when profiles.ini has none, a section of
// installs.ini); when they name several different profiles, or name none of
// the listed ones, the profile marked "Default=1"; else the only profile.
// "[ProfileN]" sections list the profiles (their "Path=" relative to
// iniFolder when "IsRelative=1"; relative paths are written with '/' and take
// the separator of style).
ProfileChoice ChooseDefaultProfile(const std::string& iniFolder, PathStyle style, const IniReader& read);

// The folder of Thunderbird's profiles.ini: home + "/.thunderbird" (Linux),
// home + "/Library/Thunderbird" (macOS; mac true), or, for kWindows,
// appData (%APPDATA%) + "\\Thunderbird". Empty when the variable it needs is
// empty.
std::string ThunderbirdIniFolder(PathStyle style, bool mac, const std::string& home, const std::string& appData);

// ---- The profile's files ----------------------------------------------------------------

// The lock files a running Thunderbird keeps in its profile: "lock" (a
// symbolic link, often dangling) and ".parentlock" on Linux and macOS,
// "parent.lock" on Windows.
std::vector<std::string> ProfileLockNames(PathStyle style);

// The first lock file of ProfileLockNames(kPosix) present in the host folder
// profile (lstat: a dangling link counts; ".parentlock" only while a process
// holds a lock on it, since Thunderbird leaves it when it quits), or empty.
std::string FindProfileLock(const std::string& profile);

// Where a conversion into a host profile goes: profile/Mail/Local Folders,
// and in it the mailbox file and its folder ("Velmora" and "Velmora.sbd", or
// the first "Velmora[NN]" pair of which neither exists).
struct ThunderbirdTarget {
    std::string localFolders;   // host paths, UTF-8
    std::string mailbox;        // the empty mailbox file of the folder
    std::string folder;         // mailbox + ".sbd": the trays' mailboxes go in it
    bool makeLocalFolders = false;   // Mail/Local Folders is missing (prefs.js names it)
};

// Checks the host profile folder and chooses the names; nothing is written.
// Empty on success with *target filled, else the English reason: no such
// folder, not a profile (none of prefs.js, times.json, Mail), a lock file
// present ("close Thunderbird first"), Mail or Local Folders not a folder,
// Local Folders missing and not named by prefs.js (a profile Thunderbird
// has not started yet: it would make its own Local Folders beside ours).
std::string PlanThunderbirdTarget(const std::string& profile, ThunderbirdTarget& target);

// Makes Local Folders when missing and the empty mailbox file (refusing to
// replace anything). Empty on success, else the reason.
std::string MakeThunderbirdTarget(const ThunderbirdTarget& target);

// The profile of this machine's Thunderbird (ThunderbirdIniFolder from $HOME
// on Linux or macOS, ChooseDefaultProfile over it): empty with *profile set,
// or the English reason none could be chosen (naming the candidates when
// several are listed without a default).
std::string FindHostDefaultProfile(std::string& profile);

// True when the host path lies inside (or is) the host folder; both are
// made absolute and normal first.
bool InsideHostFolder(const std::string& path, const std::string& folder);

// The POSIX stand-in's machine: which host folder each drive letter maps to,
// registry values, shell folders, platform id and clock.
//
// Tests build a PosixMachine in a temporary folder and install it with
// SetPosixMachine; tools load one from a description file (UTF-8 text):
//
//   drive C /tmp/x/c            drive letter and its host folder
//   current-drive C             drive of paths that begin with "\"
//   platform 2                  platform id of the version record
//   shfolder 0                  "shfolder.dll" missing (default 1: present)
//   appdata C:\Users\u\AppData\Roaming
//   clock 2003-01-06 09:05:03   fixed local time (default: the host's)
//   zone +0900                  local time's fixed offset from UTC (default:
//                               the host's time zone, TZ)
//   reg HKLM\SOFTWARE\Key|Value=text      a value (empty name: default value)
//   regkey HKCU\SOFTWARE\Key              a key without values
//   read-fault 4096 C:\Store\x.mbx        reads of that file fail with an I/O
//                               error from that byte offset on (the bytes
//                               before it are read; a file no longer than the
//                               offset reads as usual)
//
// Windows paths map onto host paths: "X:" selects the drive's folder, "\" and
// "/" separate components (walked in Shift_JIS), and each component's
// Shift_JIS bytes become a UTF-8 name (iconv CP932); bytes that do not convert
// are kept as they are.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "framework/CString.h"
#include "framework/Platform.h"

struct PosixMachine {
    std::map<char, std::string> drives;        // upper-case letter -> host folder
    char currentDrive = 'C';
    int platformId = 2;
    bool hasShfolder = true;
    CString appData;                           // Windows paths, Shift_JIS
    std::optional<platform::LocalTime> clock;  // unset: the host's local time
    std::optional<int> zoneMinutes;            // local = UTC + this; unset: the host's zone
    // Registry: key path "HKLM\..." or "HKCU\..." -> value name -> value text.
    // Names compare without case. A key listed with no values exists but is empty.
    std::map<std::string, std::map<std::string, CString>> registry;
    // Windows path (Shift_JIS bytes) -> byte offset from which reads of the
    // file fail; the path is matched through the drive map when a file opens.
    std::map<std::string, std::uint64_t> readFaults;
    // Windows paths (Shift_JIS) where no file can be made, as a name the file
    // system refuses: creating one or renaming one there is denied (set by
    // tests, matched like readFaults).
    std::set<std::string> createFaults;

    // Adds a registry value (key in "HKLM\..." form, Shift_JIS).
    void SetRegistryValue(const CString& key, const CString& name, const CString& value);
    void AddRegistryKey(const CString& key);
};

// Installs the machine that every platform call uses from now on.
void SetPosixMachine(const PosixMachine& machine);
const PosixMachine& GetPosixMachine();

// Reads a description file (format above). False with a message in *error
// when the file cannot be read or a line is not understood.
bool LoadPosixMachine(const std::string& file, PosixMachine* machine, std::string* error);

// Host path for a Windows path; empty when the drive is not mapped.
std::string HostPathFor(const char* windowsPath);

// Conversions between Shift_JIS and UTF-8 (iconv CP932). Bytes that do not
// convert are copied unchanged.
std::string SjisToUtf8(const std::string& sjis);
std::string Utf8ToSjis(const std::string& utf8);

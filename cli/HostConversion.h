// The program's conversion on host paths: the one driver behind
// velmora-convert and `vmtool convert`. It fills the job as the wizard does
// and runs what the program runs after Finish: CMailConvApp::ConvertMail,
// then ExportAddressBook when an address book path is given.
#pragma once

#include <string>
#include <vector>

#include "framework/CString.h"

struct HostConversion {
    std::string store;    // host folders and file, UTF-8
    std::string output;
    std::string csv;      // empty: no address book
    int format = 0;       // kFormatMbox .. kFormatNetscape
    CStringArray trays;   // Shift_JIS names, converted in this order
};

struct HostConversionResult {
    int mail = 0;        // ConvertMail's result
    int address = 0;     // ExportAddressBook's result; 1 when none was asked for
    int errorCode = 0;   // the job's m_nErrorCode
    CString message;     // the program's result message (Shift_JIS)
    bool Ok() const { return mail && address; }
};

// Installs the host-root machine (UseHostRootMachine) and runs the
// conversion. The writers report progress to the sink that
// SetProgressFactory installed (none: nothing shown).
HostConversionResult RunHostConversion(const HostConversion& conversion);

// Splits a comma-separated list of tray names (UTF-8) into Shift_JIS names,
// skipping empty items. False with *error when IsUsableTrayName refuses a
// name (a name that could lead a path out of the store or the output
// folder) or when no name is left.
bool SplitTrayNames(const std::string& list, CStringArray& trays, std::string* error);

// A tray of the store's sequence and its live message count.
struct TrayCount {
    CString name;
    int live = 0;
    bool readable = true;   // false: its storage file could not be read, live is 0
};

// The tray sequence of the store in the host folder store (ReadTraySequence:
// the wizard's order), each tray's index loaded as the writers load it (so a
// missing index is rebuilt and written back, as a conversion would; a storage
// file that cannot be read makes the tray unreadable, and nothing is written).
// Installs the host-root machine.
std::vector<TrayCount> CountTrays(const std::string& store);

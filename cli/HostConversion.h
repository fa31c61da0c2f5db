// The program's conversion on host paths: the one driver behind
// velmora-convert and `vmtool convert`. It runs what the program runs after
// Finish (RunConversion, app/Conversion.h) with the choices given, the
// address book only when a path for it is given.
#pragma once

#include <string>
#include <vector>

#include "app/Conversion.h"
#include "framework/CString.h"
#include "writers/Progress.h"

struct HostConversion {
    std::string store;    // host folders and file, UTF-8
    std::string output;
    std::string csv;      // empty: no address book
    std::string vcard;    // empty: no vCard address book
    int format = 0;       // kFormatMbox .. kFormatNetscape
    CStringArray trays;   // Shift_JIS names, converted in this order
};

// The conversion's outcome and the program's result message (Shift_JIS).
struct HostConversionResult : ConversionOutcome {
    CString message;
};

// Installs the host-root machine (UseHostRootMachine) and runs the
// conversion; the writers report progress to a sink from makeProgress
// (null: nothing shown).
HostConversionResult RunHostConversion(const HostConversion& conversion, const ProgressFactory& makeProgress = {});

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
// the wizard's order), each tray's index loaded as the writers load it but
// without writing anything: a missing index is rebuilt in memory for the
// count, no file of the store is written or deleted; a storage file that
// cannot be read makes the tray unreadable. Installs the host-root machine.
std::vector<TrayCount> CountTrays(const std::string& store);

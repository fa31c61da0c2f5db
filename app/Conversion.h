// What Finish starts, for the program and velmora-convert alike: the check of
// where a conversion writes, the output folder made, the mail converted and
// the address book exported after it.
#pragma once

#include "framework/CString.h"
#include "writers/Progress.h"
#include "writers/Writers.h"

// What the check of a conversion target found.
enum class TargetProblem {
    kNone,
    kInsideStore,   // the store's Data folder, or inside it
    kNotFolder,     // output folder: something else is at the path
    kFolder,        // CSV file: a folder is at the path
};

// The output folder: not the store's Data folder nor inside it; when
// something is at the path, a folder. A missing folder is no problem (it is
// made before the mail is written).
TargetProblem CheckOutputFolder(const CString& storeDir, const CString& outputDir);
// The CSV file (or the vCard file): not inside the store's Data folder, and
// not a folder.
TargetProblem CheckCsvPath(const CString& storeDir, const CString& csvPath);

struct ConversionChoices {
    MailConversion mail;
    bool addressBook = false;   // export the address book after the mail
    CString csvPath;
    CString vcardPath;          // also (or instead) as vCard; empty: none
};

struct ConversionOutcome {
    bool mail = false;      // the mail was converted
    bool address = false;   // the address book was written, or none was asked for
    int errorCode = kErrorNone;   // of the failure, when there was one
    bool Ok() const { return mail && address; }
};

// Checks every target (a problem: the file error, nothing written), makes
// the output folder with its missing parents (cannot: the file error), then
// converts the mail with a progress window from makeProgress, taken down
// when the mail is done, and, when the mail was converted, exports the
// address book as CSV and then as vCard, each when it is asked for.
ConversionOutcome RunConversion(const ConversionChoices& choices, const ProgressFactory& makeProgress);

// The message shown after a conversion: the success text, or the text of the
// failure's error code.
CString ResultMessage(const ConversionOutcome& outcome);

// The four mail writers and the address book export. Each takes what it
// converts as arguments and answers a WriteResult; nothing is read from or
// left in a global.
#pragma once

#include "framework/CString.h"

class CProgressSink;

// Format codes.
constexpr int kFormatNone = 0;
constexpr int kFormatMbox = 1;       // UNIX mbox files
constexpr int kFormatEml = 2;        // one .eml file per message
constexpr int kFormatEudora = 3;     // Eudora mailboxes
constexpr int kFormatNetscape = 4;   // Netscape Mail mailboxes

// Error codes.
constexpr int kErrorNone = 0;
constexpr int kErrorFile = 1;
constexpr int kErrorIndex = 2;
constexpr int kErrorSystem = 3;
constexpr int kErrorNoNetscapeAccount = 4;
constexpr int kErrorStopped = 5;     // stopped on request (StopRequested)

// What a conversion or an export gave: success, or the code of its failure.
struct WriteResult {
    int errorCode = kErrorNone;
    bool Ok() const { return errorCode == kErrorNone; }
};

// The mail to convert.
struct MailConversion {
    CString storeDir;     // the store folder (the one holding "\Data\MailBox")
    CStringArray trays;   // converted in this order
    CString outputDir;    // an existing folder
    int format = kFormatNone;
};

// Runs the writer of conversion.format (kErrorSystem for any other code),
// telling progress about every tray and message.
WriteResult ConvertMail(const MailConversion& conversion, CProgressSink& progress);

WriteResult ConvertToMbox(const MailConversion& conversion, CProgressSink& progress);
WriteResult ConvertToEml(const MailConversion& conversion, CProgressSink& progress);
WriteResult ConvertToEudora(const MailConversion& conversion, CProgressSink& progress);
WriteResult ConvertToNetscape(const MailConversion& conversion, CProgressSink& progress);

// Writes the address book of the store in storeDir ("\Data\AddressBook.txt")
// to csvPath as CSV, with a header row for the eml format.
WriteResult ExportAddressBook(const CString& storeDir, const CString& csvPath, int format);
// Writes the same address book to vcfPath as vCard 4.0 (UTF-8, CR LF): one
// card per pair with an address, FN the display name (the address when it
// has none), EMAIL the address.
WriteResult ExportVCard(const CString& storeDir, const CString& vcfPath);

// The four mail writers and the address book export. Each reads the job
// (GetJob()), answers 1 on success and 0 on failure with the reason in
// m_nErrorCode.
#pragma once

int ConvertToMbox();       // format 1, UNIX mbox files
int ConvertToEml();        // format 2, one .eml file per message
int ConvertToEudora();     // format 3, Eudora mailboxes
int ConvertToNetscape();   // format 4, Netscape Mail mailboxes
int ExportAddressBook();   // the address book as CSV, after the mail

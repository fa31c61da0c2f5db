// Where the trays of a Velmora store are, and which trays there are.
#pragma once

#include "framework/CString.h"

// The tray's folder: store folder + "\Data\MailBox" + "\" + tray name.
CString GetTrayFolderPath(const CString& tray);

// The tray sequence of the store in storeDir: the four fixed trays (string
// resources 3000..3003), then one tray per non-empty line of
// "\Data\MailTray.dat", in file order. Lines are taken byte for byte, without
// their trailing CR and LF characters; blanks belong to the name. A missing or
// unreadable file gives the fixed trays alone.
void ReadTraySequence(const CString& storeDir, CStringArray& trays);

// Names of the store files inside a tray folder.
extern const char* const kIndexFileName;     // "\vmmail.idx" (string resource 3011)
extern const char* const kStorageFileName;   // "\Message Storage.mbx"

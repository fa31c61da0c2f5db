// Where the trays of a Velmora store are, and which trays there are.
#pragma once

#include "framework/CString.h"

// The tray's folder: storeDir + "\Data\MailBox" + "\" + tray name.
CString GetTrayFolderPath(const CString& storeDir, const CString& tray);

// The tray sequence of the store in storeDir: the four fixed trays (string
// resources 3000..3003), then one tray per line of "\Data\MailTray.dat" that
// names a usable tray (IsUsableTrayName), in file order. Lines are taken byte
// for byte, without their trailing CR and LF characters; blanks belong to the
// name. A missing or unreadable file gives the fixed trays alone.
void ReadTraySequence(const CString& storeDir, CStringArray& trays);

// Whether name can be a tray, that is one folder directly inside
// "\Data\MailBox": not empty, not "." or "..", and without "\" (found by
// walking Shift_JIS characters, so a trail byte 0x5C is no "\"), "/", ":" or
// a NUL byte (bytes that are never trail bytes; a NUL would cut the path). The
// client cannot make a folder of any other name, and such a name could lead a
// path out of the store's mail folder or the output folder.
bool IsUsableTrayName(const CString& name);

// Names of the store files inside a tray folder.
extern const char* const kIndexFileName;     // "\vmmail.idx"
extern const char* const kStorageFileName;   // "\Message Storage.mbx"

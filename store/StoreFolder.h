// Where a Velmora store is, however its folder is given: the store folder
// itself, its "Data" folder or its "Data\MailBox" folder (what a user drops
// onto the program's icon or names on velmora-convert's command line).
#pragma once

#include "framework/CString.h"

// The store's data folder, which holds the mail, the tray list and the
// address book: storeDir + "\Data".
CString GetStoreDataFolder(const CString& storeDir);
// The folder of the store's trays: storeDir + "\Data\MailBox" (string 3015).
CString GetStoreMailFolder(const CString& storeDir);

// Finds the store that folder (no trailing "\") opens: folder itself when its
// mail folder is a folder, else, when folder's last name is "Data", the folder
// above it, else, when its last names are "Data\MailBox", the folder two
// above, provided that folder's mail folder is a folder (names compared
// without regard to case, as Windows does; paths split walking Shift_JIS).
// Answers true and sets storeDir; else answers false and sets looked to the
// path a message names: folder itself when it is a file, else its mail
// folder (folder + "\Data\MailBox").
bool FindStoreFolder(const CString& folder, CString& storeDir, CString& looked);

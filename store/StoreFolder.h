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

// Finds the store that folder (no trailing "\") opens: the first of folder,
// the folder above it when folder's last name is "Data", and the folder two
// above when its last names are "Data\MailBox" (names compared without regard
// to case, as Windows does; paths split walking Shift_JIS) whose mail folder
// is a folder. Answers true and sets storeDir to it; else answers false and
// sets looked to the path a message names: folder itself when it is a file,
// else its mail folder (folder + "\Data\MailBox").
bool FindStoreFolder(const CString& folder, CString& storeDir, CString& looked);

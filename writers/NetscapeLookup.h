// Where the installed Netscape keeps the mailboxes of its first mail account.
#pragma once

#include "framework/CString.h"

// Netscape 4.x (netscapeKind 1): from the registry's current user, its
// default server and that server's "popstatePath"; always answers 1.
// Netscape 6 (other kinds): the profile folder from appDataDir's
// "\Mozilla\registry.dat", then the account's folder and name from the
// profile's "prefs.js". Answers 0 with *errorCode 1 (kErrorFile) when one of
// those files cannot be read, 4 (kErrorNoNetscapeAccount) when no mail folder
// is set; *errorCode is left alone otherwise.
int FindNetscapeMailFolder(int netscapeKind, const CString& appDataDir, CString& profileFolder,
                           CString& mailFolder, CString& accountName, int* errorCode);

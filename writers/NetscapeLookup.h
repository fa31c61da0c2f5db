// Where the installed Netscape keeps the mailboxes of its first mail account.
#pragma once

#include "framework/CString.h"

// Netscape 4.x (m_nNetscapeKind 1): from the registry's current user, its
// default server and that server's "popstatePath"; always answers 1.
// Netscape 6 (other kinds): the profile folder from the application-data
// folder's "\Mozilla\registry.dat", then the account's folder and name from
// the profile's "prefs.js". Answers 0 with m_nErrorCode 1 when one of those
// files cannot be read, 4 when no mail folder is set.
int FindNetscapeMailFolder(CString& profileFolder, CString& mailFolder, CString& accountName);

// Where Eudora keeps its mail: derived from the command line Eudora
// registered under HKEY_LOCAL_MACHINE. Only reads the registry.
#pragma once

#include "framework/CString.h"

// Answers 1 and sets folder to the first argument of Eudora's registered
// command line, cut right after its first "\Eudora" component (when there is
// one), with trailing white space removed. Answers 0 and leaves folder as it
// was when nothing is registered or the command line does not name
// "Eudora.exe" (compared with case).
int FindEudoraMailFolder(CString& folder);

// The same rule applied to a command line already read (exposed for tests).
int EudoraFolderFromCommandLine(const CString& commandLine, CString& folder);

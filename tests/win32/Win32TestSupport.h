// Helpers of the Windows-side tests: the system's temporary folder and the
// entries of a folder, in Shift_JIS (through the W functions).
#pragma once

#include "framework/CString.h"

// The temporary folder as the system reports it, ending with "\".
CString TempFolder();

// Names (not paths) of the entries of a folder, "." and ".." left out. False
// when the folder cannot be read.
bool ListFolder(const char* path, CStringArray* names);

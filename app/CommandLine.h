// The program's command line: VelmoraConv.exe [STORE_FOLDER]. A folder dropped
// onto the program's icon arrives the same way (Explorer quotes it when it
// holds blanks).
#pragma once

#include "framework/CString.h"

// Reads the store folder from the command line after the program's name.
// White space around it goes. Text that begins with a quote ends at the next
// quote (or at its end; anything after the closing quote is ignored); other
// text is the folder as a whole, blanks inside it included, so an unquoted
// path with blanks works as typed. Every trailing "\" is then removed, walking
// Shift_JIS so that a trail byte 0x5C is kept ("D:\表\" gives "D:\表"; "C:\"
// gives "C:", and "\" gives "", the root of the current drive).
// Answers false, folder untouched, when no folder is given (null, empty, only
// white space, or quotes around nothing but white space).
bool ParseStoreArgument(const char* commandLine, CString& folder);

// The eml writer's file names.
#pragma once

#include "framework/CString.h"

// The base name (without number and ".eml") of a message file in folder:
// the subject with the characters file names may not hold replaced (the nine
// of MakeSafeFileName, control characters by "＿"), a device name ("CON",
// "LPT1", ..., also before a ".") given a "_", and the whole cut on a
// Shift_JIS character boundary so that a numbered path fits in MAX_PATH, or
// into maxBase bytes when that is given and smaller, and so that the name
// with a number and ".eml" stays within 255 bytes when stored as UTF-8.
CString MakeEmlBaseName(const CString& subject, const CString& folder, int maxBase = -1);

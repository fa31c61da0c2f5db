// The shell's folder browser, file dialog and special-folder lookup, with
// Shift_JIS texts and paths (the W functions underneath).
#pragma once

#include <windows.h>

#include "framework/CString.h"

namespace shell {

// How a dialog ended.
enum class Pick {
    kPicked,        // the path is set
    kCancelled,     // or no path could be had
    kNoSjisForm,    // the path has characters Shift_JIS cannot write; the
                    // path is set, with "?" for each of them
};

// The folder browser owned by owner, titled title, file-system folders only,
// opening at the folder named start.
Pick BrowseForFolder(HWND owner, const char* title, const char* start, CString* folder);

// The file dialog in its open form (a name that does not exist yet is
// accepted): default extension defExt, initial name initial, filter in
// "text|pattern|...||" form ("|" looked for in Shift_JIS), title title. The
// dialog opens with the file type *filterIndex (from 1) chosen; the type
// chosen when a path was picked goes back there.
Pick OpenFileDialog(HWND owner, const char* defExt, const CString& initial, const CString& filter, const char* title,
                    int* filterIndex, CString* path);

// The file-system path of the shell folder csidl, every trailing "\" removed
// (a drive root comes back as "C:"). False, path untouched, when there is none
// or it has characters Shift_JIS cannot write.
bool GetSpecialFolderPath(HWND owner, int csidl, CString* path);

}  // namespace shell

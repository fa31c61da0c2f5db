// Output naming shared by the writers: unique and safe file names, folder
// creation. GetTrayFolderPath lives in store/TrayList.h.
// Every string is Shift_JIS; paths are Windows paths.
#pragma once

#include <map>
#include <string>

#include "framework/CString.h"
#include "framework/Types.h"

// Remembers, per name, how far numbering got in this run, so that taking the
// same name many times does not test "[01]", "[02]", ... again each time.
// Valid while the files it has answered are not deleted.
class CUniqueNameCache {
public:
    // The first number worth testing for path (0: the name itself).
    int StartFor(const CString& path) const;
    void Remember(const CString& path, int number);

private:
    std::map<std::string, int> m_next;
};

// path itself when nothing exists there, else the first free variant with
// "[NN]" ("%02d") after the base name and before the extension (the text
// from the last "." of the last component). With a cache, numbers that this
// run already found taken are not tested again; the answer is the same.
CString MakeUniqueFileName(const CString& path, CUniqueNameCache* cache = nullptr);
// The same, numbered n (0: path itself). Used by MakeUniqueFileName.
CString NumberedFileName(const CString& path, int number);

// Replaces \ * / : ? " < > | by their full-width Shift_JIS forms, walking
// whole characters (a trail byte 0x5C or 0x7C is left alone).
void MakeSafeFileName(CString& name);

// Creates the folder path and every missing parent; never the drive part
// ("C:"). True on success or when the last failure was "already exists"
// (kErrorAlreadyExists), and only when a folder (not a file) stands at path at
// the end.
bool CreateFolderPath(CString path);

// Every output file is written under a temporary name in its own folder and
// given its final name only when it is complete, so that after any stop (a
// signal, a crash, a power cut) each file under a final name is whole; a
// file left unfinished is removed, or, after a hard stop, stays recognisable
// by its ".part" name.
#pragma once

#include "framework/CString.h"
#include "framework/File.h"

class CUniqueNameCache;

// The ".part" name beside the final path finalPath.
CString PartFileName(const CString& finalPath);

class CPartFile {
public:
    explicit CPartFile(CFile& file) : m_file(file) {}
    ~CPartFile() { Abandon(); }
    CPartFile(const CPartFile&) = delete;
    CPartFile& operator=(const CPartFile&) = delete;

    // Opens file as a new file at partPath, or at its first free numbered
    // variant (NumberedFileName) when that is taken: never over anything
    // that exists. False when none can be created.
    bool Create(const CString& partPath, UINT flags);
    // Closes the file; with durable, its data reaches the disk first. False
    // when a write failed (the part file is removed then).
    bool Close(bool durable);
    // Gives the closed file its final name. With replace, path, over a file
    // that is there; else the first free name of MakeUniqueFileName for path
    // at that moment (never over a file). The name given goes to *given.
    // False when it cannot be renamed there: the part file stays, for
    // another name or Abandon.
    bool Rename(const CString& path, bool replace, CUniqueNameCache* names, CString* given);
    // Closes and removes the part file, unless it has its final name.
    void Abandon();

    bool IsPending() const { return !m_partPath.IsEmpty(); }

private:
    CFile& m_file;
    CString m_partPath;   // the part file not yet renamed ("" when none)
};

#include "writers/PartFile.h"

#include "framework/Platform.h"
#include "writers/Naming.h"

namespace {
// Numbered names tried for a part file.
constexpr int kMaxPartNumber = 99;
const char* const kPartSuffix = ".part";
}  // namespace

CString PartFileName(const CString& finalPath)
{
    return finalPath + kPartSuffix;
}

bool CPartFile::Create(const CString& partPath, UINT flags)
{
    Abandon();
    for (int n = 0; n <= kMaxPartNumber; ++n) {
        const CString candidate = NumberedFileName(partPath, n);
        DWORD error = 0;
        if (m_file.Open(candidate, flags | CFile::modeCreate | CFile::modeCreateNew, &error)) {
            m_partPath = candidate;
            return true;
        }
        if (error != kErrorAlreadyExists)
            return false;
    }
    return false;
}

bool CPartFile::Close(bool durable)
{
    if (durable && m_file.IsOpen())
        m_file.Flush();   // a failure sets the error flag
    m_file.Close();
    if (m_file.HasError()) {
        Abandon();
        return false;
    }
    return true;
}

bool CPartFile::Rename(const CString& path, bool replace, CUniqueNameCache* names, CString* given)
{
    if (!IsPending() || m_file.IsOpen())
        return false;
    // The rename itself tells whether a name is free (it never replaces
    // here), so no lookup comes before it: the first free number is the one
    // MakeUniqueFileName would answer, found with one file system call.
    const int start = replace || !names ? 0 : names->StartFor(path);
    // Ends: each name found taken exists, and a folder holds finitely many.
    for (int n = start;; ++n) {
        const CString target = replace ? path : NumberedFileName(path, n);
        DWORD error = platform::MoveFileTo(m_partPath, target, replace);
        platform::FileStatus status;
        if (error != 0 && error != kErrorAlreadyExists && !replace && platform::GetFileStatus(target, &status))
            error = kErrorAlreadyExists;   // a folder there may answer "access denied"
        if (error == 0) {
            m_partPath.Empty();
            if (names)
                names->Remember(path, n);
            if (given)
                *given = target;
            return true;
        }
        if (replace || error != kErrorAlreadyExists)
            return false;
    }
}

void CPartFile::Abandon()
{
    m_file.Close();
    if (IsPending()) {
        CFile::Remove(m_partPath);   // best effort: what is unfinished never has a final name
        m_partPath.Empty();
    }
}

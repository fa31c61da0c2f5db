#include "writers/PartFile.h"

#include "framework/Platform.h"
#include "writers/Naming.h"

namespace {
// Numbered names tried for a part file, and renames retried when another
// process takes the chosen final name first.
constexpr int kMaxPartNumber = 99;
constexpr int kMaxRenameTries = 100;
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
    for (int tries = 0; tries < kMaxRenameTries; ++tries) {
        const CString target = replace ? path : MakeUniqueFileName(path, names);
        const DWORD error = platform::MoveFileTo(m_partPath, target, replace);
        if (error == 0) {
            m_partPath.Empty();
            if (given)
                *given = target;
            return true;
        }
        // Taken between the test and the rename: the next free name.
        if (replace || error != kErrorAlreadyExists)
            return false;
    }
    return false;
}

void CPartFile::Abandon()
{
    m_file.Close();
    if (IsPending()) {
        CFile::Remove(m_partPath);   // best effort: what is unfinished never has a final name
        m_partPath.Empty();
    }
}

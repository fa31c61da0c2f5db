#include "store/StoreFolder.h"

#include <cstddef>
#include <vector>

#include "framework/File.h"
#include "framework/Platform.h"
#include "framework/Sjis.h"
#include "res/resource.h"

namespace {

bool IsFolder(const CString& path)
{
    CFileStatus status;
    return CFile::GetStatus(path, status) && (status.m_attribute & platform::kAttrDirectory);
}

// Cuts the last name off path (walking Shift_JIS, so a trail byte 0x5C is no
// "\"): false when path has no "\".
bool CutLastName(CString& path, CString& name)
{
    const int at = SjisReverseFind(path, '\\');
    if (at < 0)
        return false;
    name = path.Mid(at + 1);
    path = path.Left(at);
    return true;
}

}  // namespace

CString GetStoreDataFolder(const CString& storeDir)
{
    return storeDir + "\\Data";
}

CString GetStoreMailFolder(const CString& storeDir)
{
    return storeDir + platform::LoadResString(IDS_PATH_MAILBOX);
}

bool FindStoreFolder(const CString& folder, CString& storeDir, CString& looked)
{
    // The names from a store down to its mail folder, innermost first
    // ("MailBox", "Data").
    std::vector<CString> below;
    CString rest = platform::LoadResString(IDS_PATH_MAILBOX);
    for (CString name; CutLastName(rest, name);)
        below.push_back(name);
    // folder's last names, innermost first, and the folders above them:
    // up[d] is folder with its last d names cut.
    std::vector<CString> last, up{folder};
    rest = folder;
    for (CString name; last.size() < below.size() && CutLastName(rest, name);) {
        last.push_back(name);
        up.push_back(rest);
    }

    // folder, else the folder depth names up when the names cut are the
    // outermost ones of the mail folder's path: "...\Data" leads one up,
    // "...\Data\MailBox" two.
    for (std::size_t depth = 0; depth <= last.size(); ++depth) {
        bool store = true;
        for (std::size_t i = 0; i < depth; ++i)
            store = store && SjisEqualNoCase(last[i], below[below.size() - depth + i]);
        if (store && IsFolder(GetStoreMailFolder(up[depth]))) {
            storeDir = up[depth];
            return true;
        }
    }
    CFileStatus status;
    const bool file = CFile::GetStatus(folder, status) && !(status.m_attribute & platform::kAttrDirectory);
    looked = file ? folder : GetStoreMailFolder(folder);
    return false;
}

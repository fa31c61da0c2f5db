#include "store/TrayList.h"

#include "framework/File.h"
#include "framework/Platform.h"
#include "framework/Sjis.h"
#include "res/resource.h"
#include "store/StoreFolder.h"

const char* const kIndexFileName = "\\vmmail.idx";
const char* const kStorageFileName = "\\Message Storage.mbx";

CString GetTrayFolderPath(const CString& storeDir, const CString& tray)
{
    return GetStoreMailFolder(storeDir) + "\\" + tray;
}

bool IsUsableTrayName(const CString& name)
{
    if (name.IsEmpty() || name == "." || name == "..")
        return false;
    return SjisFind(name, '\\') < 0 && name.Find('/') < 0 && name.Find(':') < 0 && name.Find('\0') < 0;
}

void ReadTraySequence(const CString& storeDir, CStringArray& trays)
{
    trays.RemoveAll();
    for (UINT id = IDS_TRAY_INBOX; id <= IDS_TRAY_DRAFT; ++id)
        trays.Add(platform::LoadResString(id));

    CStdioFile file;
    if (!file.Open(storeDir + platform::LoadResString(IDS_PATH_TRAYLIST), CFile::modeRead | CFile::typeBinary))
        return;
    CString line;
    while (file.ReadString(line)) {
        int n = line.GetLength();
        while (n > 0 && (line[n - 1] == '\r' || line[n - 1] == '\n'))
            --n;
        CString name = line.Left(n);
        if (IsUsableTrayName(name))
            trays.Add(name);
    }
}

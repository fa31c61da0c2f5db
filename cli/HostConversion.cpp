#include "cli/HostConversion.h"

#include "app/MailConvApp.h"
#include "cli/HostPath.h"
#include "store/MailIndexLoader.h"
#include "store/TrayList.h"
#include "writers/Writers.h"

HostConversionResult RunHostConversion(const HostConversion& conversion)
{
    UseHostRootMachine();
    CMailConvApp app;
    app.m_strStoreDir = WindowsPathForHost(conversion.store);
    app.m_strOutputDir = WindowsPathForHost(conversion.output);
    app.m_nFormat = conversion.format;
    app.m_arrSelectedTrays = conversion.trays;
    if (!conversion.csv.empty())
        app.m_strAddressCsvPath = WindowsPathForHost(conversion.csv);

    HostConversionResult result;
    result.mail = app.ConvertMail();
    result.address = result.mail && !conversion.csv.empty() ? ExportAddressBook() : result.mail;
    result.errorCode = app.m_nErrorCode;
    result.message = app.ResultMessage(result.mail, result.address);
    return result;
}

bool SplitTrayNames(const std::string& list, CStringArray& trays, std::string* error)
{
    trays.RemoveAll();
    for (size_t start = 0; start <= list.size();) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        if (comma > start) {
            const std::string name = list.substr(start, comma - start);
            CString tray(Utf8ToSjis(name));
            if (!IsUsableTrayName(tray)) {
                *error = "tray \"" + name +
                         "\" refused: a tray name is one folder name (not empty, \".\" or \"..\", "
                         "without \\, / or :)";
                return false;
            }
            trays.Add(tray);
        }
        start = comma + 1;
    }
    if (trays.IsEmpty()) {
        *error = "no tray named";
        return false;
    }
    return true;
}

std::vector<TrayCount> CountTrays(const std::string& store)
{
    UseHostRootMachine();
    CMailConvApp app;
    app.m_strStoreDir = WindowsPathForHost(store);
    CStringArray trays;
    ReadTraySequence(app.m_strStoreDir, trays);
    std::vector<TrayCount> counts;
    CMailIndexLoader loader;
    for (const CString& tray : trays) {
        loader.LoadTrayIndex(tray);
        // What a writer goes through; nothing when the writer would stop.
        if (loader.StorageFailed())
            counts.push_back({tray, 0, false});
        else
            counts.push_back({tray, CMailIndexLoader::CountLiveRecords(), true});
    }
    app.ReleaseIndexList();
    return counts;
}

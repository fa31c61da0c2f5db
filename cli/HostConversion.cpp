#include "cli/HostConversion.h"

#include "cli/HostPath.h"
#include "store/MailIndexLoader.h"
#include "store/TrayList.h"

HostConversionResult RunHostConversion(const HostConversion& conversion, const ProgressFactory& makeProgress)
{
    UseHostRootMachine();
    ConversionChoices choices;
    choices.mail.storeDir = WindowsPathForHost(conversion.store);
    choices.mail.outputDir = WindowsPathForHost(conversion.output);
    choices.mail.format = conversion.format;
    choices.mail.trays = conversion.trays;
    choices.addressBook = !conversion.csv.empty();
    if (choices.addressBook)
        choices.csvPath = WindowsPathForHost(conversion.csv);
    if (!conversion.vcard.empty())
        choices.vcardPath = WindowsPathForHost(conversion.vcard);

    const ConversionOutcome outcome = RunConversion(choices, makeProgress);
    HostConversionResult result{outcome, ResultMessage(outcome)};
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
    const CString storeDir = WindowsPathForHost(store);
    CStringArray trays;
    ReadTraySequence(storeDir, trays);
    std::vector<TrayCount> counts;
    CMailIndexLoader loader(storeDir, CMailIndexLoader::Writes::kNone);
    for (const CString& tray : trays) {
        loader.LoadTrayIndex(tray);
        // What a writer goes through; nothing when the writer would stop.
        if (loader.StorageFailed())
            counts.push_back({tray, 0, false});
        else
            counts.push_back({tray, CMailIndexLoader::CountLiveRecords(loader.Index().records), true});
    }
    return counts;
}

// vmtool convert: runs a whole conversion of a store on the host, as the
// program does after the wizard's Finish (the driver velmora-convert uses).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/HostConversion.h"
#include "framework/posix/Machine.h"
#include "tools/vmtool/Command.h"

namespace {

extern const VmCommand kConvert;

int Run(const std::vector<std::string>& args)
{
    std::string store, out, csv, trays;
    int format = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size())
            return VmUsageError(kConvert, "missing value after " + a);
        const std::string& v = args[++i];
        if (a == "--store")
            store = v;
        else if (a == "--out")
            out = v;
        else if (a == "--csv")
            csv = v;
        else if (a == "--trays")
            trays = v;
        else if (a == "--format") {
            char* end = nullptr;
            long n = std::strtol(v.c_str(), &end, 10);
            if (!end || *end || n < 1 || n > 4)
                return VmUsageError(kConvert, "--format must be 1, 2, 3 or 4");
            format = static_cast<int>(n);
        } else
            return VmUsageError(kConvert, "unknown option " + a);
    }
    if (store.empty() || out.empty() || trays.empty() || format == 0)
        return VmUsageError(kConvert, "--store, --format, --trays and --out are required");
    if (!std::filesystem::is_directory(store))
        return VmUsageError(kConvert, "no store folder " + store);

    HostConversion job;
    std::string error;
    if (!SplitTrayNames(trays, job.trays, &error))
        return VmUsageError(kConvert, error);
    job.store = store;
    job.output = out;
    job.csv = csv;
    job.format = format;
    const HostConversionResult result = RunHostConversion(job);
    std::printf("%s\n", SjisToUtf8(result.message.Str()).c_str());
    return result.Ok() ? 0 : 1;
}

const VmCommand kConvert{
    "convert", "vmtool convert --store DIR --format N --trays NAME,... --out DIR [--csv PATH]",
    "Converts the named trays (UTF-8, comma-separated) of the store in DIR to format N (1 UNIX mbox,\n"
    "      2 eml, 3 Eudora, 4 Netscape Mail) in the output folder, then the address book to PATH when\n"
    "      given. Prints the result message last; exit 0 on success, 1 when the conversion failed,\n"
    "      2 on bad arguments (also a tray name that is empty, \".\" or \"..\", or holds \\, / or :).\n"
    "      velmora-convert is the same conversion for users: store checks, progress, a table.",
    &Run};

}  // namespace

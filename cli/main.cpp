// velmora-convert: converts a copied Velmora store on Linux or macOS, with the
// program's own job and writers (the same bytes as VelmoraConv.exe for the
// same choices). Every argument is checked before anything is written.
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app/Conversion.h"
#include "app/MailConvApp.h"
#include "cli/HostConversion.h"
#include "cli/HostPath.h"
#include "cli/ProgressMeter.h"
#include "cli/ThunderbirdProfile.h"
#include "framework/Platform.h"
#include "writers/Writers.h"
#include "store/StoreFolder.h"
#include "store/TrayList.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: velmora-convert STORE_FOLDER --list\n"
    "       velmora-convert STORE_FOLDER OUTPUT_FOLDER --format mbox|eml|eudora|netscape\n"
    "                       [--trays NAME,...] [--csv PATH] [--vcard PATH] [--quiet]\n"
    "       velmora-convert STORE_FOLDER --format thunderbird [--profile DIR]\n"
    "                       [--trays NAME,...] [--csv PATH] [--vcard PATH] [--quiet]\n"
    "       velmora-convert --version\n";

const char kHelp[] =
    "\n"
    "Converts a copied Velmora store (the folder that holds Data/MailBox; its Data or\n"
    "Data/MailBox folder may be given too) as VelmoraConv.exe does, with the same writers:\n"
    "the same files and bytes for the same choices.\n"
    "\n"
    "  --list            the store's trays in the wizard's order and their message counts;\n"
    "                    a tray whose message storage cannot be read shows \"unreadable\"\n"
    "                    (exit status 1: converting it would fail)\n"
    "  --format, -f FORMAT\n"
    "                    mbox      UNIX mbox, one TRAY.mbx per tray\n"
    "                    eml       one folder per tray, one .eml file per message\n"
    "                    eudora    Eudora mailboxes, one TRAY.mbx per tray\n"
    "                    netscape  Netscape Mail mailboxes, one file TRAY per tray\n"
    "                    thunderbird  the netscape mailboxes, put into a Thunderbird\n"
    "                              profile's Local Folders as the folder \"Velmora\"\n"
    "                              (no OUTPUT_FOLDER then)\n"
    "  --profile DIR     with thunderbird: the profile folder; default: the default\n"
    "                    profile of ~/.thunderbird/profiles.ini (macOS:\n"
    "                    ~/Library/Thunderbird/profiles.ini)\n"
    "  --trays NAME,...  the trays to convert (UTF-8, comma-separated), converted in the\n"
    "                    store's order; default: every tray --list shows\n"
    "  --csv PATH        also write the address book as CSV to PATH\n"
    "  --vcard PATH      also write the address book as vCard 4.0 (UTF-8) to PATH, with or\n"
    "                    without --csv: one card per address, for Thunderbird, Gmail or Outlook\n"
    "  --quiet, -q       nothing on stdout or stderr when the run succeeds (no progress\n"
    "                    lines, table or result line; errors still go to stderr and the\n"
    "                    exit status tells the result)\n"
    "  --version, -V     the name and version\n"
    "  --help, -h        this text\n"
    "\n"
    "OUTPUT_FOLDER is created (with missing parents) when it does not exist; it must not lie\n"
    "inside the store's Data folder. Converting a tray whose index file is missing rebuilds\n"
    "the index and saves it, as the program does; nothing else in the store is written, and\n"
    "--list writes nothing at all.\n"
    "On a terminal, a progress line per tray goes to stderr. At the end a table shows each\n"
    "tray, the messages written, their size in the store and the file or folder written,\n"
    "then the program's result.\n"
    "Every file is written under a name ending in \".part\" and renamed when complete, so a\n"
    "file under its final name is always whole. SIGINT (Ctrl-C) or SIGTERM stops the run\n"
    "after the message being written: the unfinished file is removed, and stderr names the\n"
    "tray that was interrupted and the files that are complete.\n"
    "With --format thunderbird the mailboxes go into PROFILE/Mail/Local Folders/Velmora.sbd/\n"
    "beside the empty mailbox file Velmora (Velmora[01] and so on when the name is taken).\n"
    "A missing Local Folders is made when prefs.js names it; a profile Thunderbird never\n"
    "started is refused. Thunderbird must be closed: a profile with its\n"
    "lock file (lock or .parentlock) is refused. Nothing else in the profile is touched;\n"
    "Thunderbird shows the folder and builds its indexes when it next starts.\n"
    "\n"
    "Exit status: 0 converted; 1 the conversion failed (the program's message and an English\n"
    "line on stderr; the complete files stay), or --list found an unreadable tray; 2 bad\n"
    "usage or input (nothing written); 130 stopped by SIGINT, 143 by SIGTERM.\n";

const char kName[] = "velmora-convert";
const char kVersion[] = "1.0.0";   // the program's version resource says the same

struct Arguments {
    std::vector<std::string> folders;   // STORE_FOLDER [OUTPUT_FOLDER]
    bool list = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::optional<std::string> format, trays, csv, vcard, profile;
};

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n%sTry '%s --help' for more.\n", kName, message.c_str(), kUsage, kName);
    return 2;
}

// Bad input found before anything was written.
int InputError(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", kName, message.c_str());
    return 2;
}

// Parses argv; answers an error message, empty when the arguments are well formed.
std::string Parse(int argc, char** argv, Arguments& args)
{
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (!options || a.empty() || a[0] != '-' || a == "-") {
            args.folders.push_back(a);
            continue;
        }
        if (a == "--") {
            options = false;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (size_t eq = a.find('='); a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            inlineValue = a.substr(eq + 1);
            a.resize(eq);
        }
        auto value = [&](std::optional<std::string>& slot) -> std::string {
            if (slot)
                return a + " given twice";
            if (inlineValue)
                slot = *inlineValue;
            else if (i + 1 < argc)
                slot = argv[++i];
            else
                return "missing value after " + a;
            return std::string();
        };
        std::string error;
        if (a == "--format" || a == "-f")
            error = value(args.format);
        else if (a == "--trays")
            error = value(args.trays);
        else if (a == "--csv")
            error = value(args.csv);
        else if (a == "--profile")
            error = value(args.profile);
        else if (a == "--vcard")
            error = value(args.vcard);
        else if (inlineValue)
            error = a + " takes no value";
        else if (a == "--list")
            args.list = true;
        else if (a == "--quiet" || a == "-q")
            args.quiet = true;
        else if (a == "--help" || a == "-h")
            args.help = true;
        else if (a == "--version" || a == "-V")
            args.version = true;
        else
            error = "unknown option " + a;
        if (!error.empty())
            return error;
    }
    return std::string();
}

int FormatCode(const std::string& name)
{
    if (name == "mbox")
        return kFormatMbox;
    if (name == "eml")
        return kFormatEml;
    if (name == "eudora")
        return kFormatEudora;
    if (name == "netscape")
        return kFormatNetscape;
    return kFormatNone;
}

// The program names files in Shift_JIS and takes a backslash for a
// separator: a host path with a character that has no Shift_JIS form, or with
// a backslash in a name, would lead it somewhere else.
std::string CheckNameable(const std::string& what, const std::string& path)
{
    const std::string abs = fs::absolute(path).lexically_normal().string();
    if (SjisToUtf8(Utf8ToSjis(abs)) != abs)
        return what + " " + path + ": its path has characters that Shift_JIS cannot name";
    if (abs.find('\\') != std::string::npos)
        return what + " " + path + ": its path holds a \"\\\"";
    return std::string();
}

bool Writable(const fs::path& path)
{
    return ::access(path.c_str(), W_OK | X_OK) == 0;
}

// Checks the store folder; empty when it opens a Velmora store. The store's
// Data or Data/MailBox folder opens the store too: store becomes the store
// folder then.
std::string CheckStore(std::string& store)
{
    std::error_code ec;
    if (!fs::exists(store, ec))
        return "store folder " + store + ": no such folder";
    if (!fs::is_directory(store, ec))
        return "store folder " + store + " is not a folder";
    if (std::string error = CheckNameable("store folder", store); !error.empty())
        return error;
    const CString given = WindowsPathForHost(store);
    CString storeDir, looked;
    if (!FindStoreFolder(given, storeDir, looked))
        return store + " is not a Velmora store: it has no Data/MailBox folder (give the folder that holds Data)";
    if (storeDir != given)
        store = HostPathFor(storeDir);
    return std::string();
}

// Checks the output folder (made later when missing); empty when usable.
std::string CheckOutput(const std::string& output, const std::string& store)
{
    std::error_code ec;
    if (std::string error = CheckNameable("output folder", output); !error.empty())
        return error;
    if (CheckOutputFolder(WindowsPathForHost(store), WindowsPathForHost(output)) == TargetProblem::kInsideStore)
        return "output folder " + output + " lies inside the store's Data folder";
    if (fs::exists(output, ec)) {
        if (!fs::is_directory(output, ec))
            return "output folder " + output + " is a file, not a folder";
        if (!Writable(output))
            return "output folder " + output + " is not writable";
        return std::string();
    }
    // Missing: its nearest existing parent must be a writable folder.
    fs::path parent = fs::absolute(output).lexically_normal();
    while (!parent.empty() && !fs::exists(parent, ec) && parent != parent.parent_path())
        parent = parent.parent_path();
    if (!fs::is_directory(parent, ec) || !Writable(parent))
        return "output folder " + output + " cannot be created: " + parent.string() + " is not a writable folder";
    return std::string();
}

// Checks the path of the address book given with option (--csv or --vcard);
// empty when the file can be written there.
std::string CheckBookPath(const std::string& option, const std::string& csv, const std::string& output,
                          const std::string& store)
{
    std::error_code ec;
    if (std::string error = CheckNameable(option, csv); !error.empty())
        return error;
    switch (CheckCsvPath(WindowsPathForHost(store), WindowsPathForHost(csv))) {
    case TargetProblem::kInsideStore: return option + " " + csv + " lies inside the store's Data folder";
    case TargetProblem::kFolder: return option + " " + csv + " is a folder, not a file";
    default: break;
    }
    const fs::path file = fs::absolute(csv).lexically_normal();
    if (fs::exists(file, ec)) {
        if (!fs::is_regular_file(file, ec))
            return option + " " + csv + " is not a regular file";
        if (::access(file.c_str(), W_OK) != 0)
            return option + " " + csv + " is not writable";
    }
    const fs::path folder = file.parent_path();
    if (folder == fs::absolute(output).lexically_normal())
        return std::string();   // made with the output folder when missing
    if (!fs::is_directory(folder, ec))
        return option + " " + csv + ": no folder " + folder.string();
    if (!Writable(folder))
        return option + " " + csv + ": folder " + folder.string() + " is not writable";
    return std::string();
}

// The trays to convert, in the store's order; an error message on failure.
std::string SelectTrays(const std::string& store, const std::optional<std::string>& names, CStringArray& trays)
{
    CStringArray sequence;
    ReadTraySequence(WindowsPathForHost(store), sequence);
    if (!names) {
        trays = sequence;
        return std::string();
    }
    CStringArray asked;
    std::string error;
    if (!SplitTrayNames(*names, asked, &error))
        return error;
    for (int i = 0; i < asked.GetSize(); ++i) {
        bool known = false;
        for (const CString& tray : sequence)
            known = known || tray == asked[i];
        if (!known) {
            std::string all;
            for (const CString& tray : sequence)
                all += (all.empty() ? "" : ", ") + SjisToUtf8(tray.Str());
            return "unknown tray \"" + SjisToUtf8(asked[i].Str()) + "\"; the store's trays are: " + all;
        }
        for (int k = 0; k < i; ++k) {
            if (asked[k] == asked[i])
                return "tray \"" + SjisToUtf8(asked[i].Str()) + "\" named twice";
        }
    }
    trays.RemoveAll();
    for (const CString& tray : sequence) {
        bool selected = false, added = false;
        for (const CString& name : asked)
            selected = selected || name == tray;
        for (const CString& name : trays)
            added = added || name == tray;
        if (selected && !added)
            trays.Add(tray);
    }
    return std::string();
}

int TerminalColumns()
{
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    if (const char* env = std::getenv("COLUMNS"); env && std::atoi(env) > 0)
        return std::atoi(env);
    return 80;
}

int List(const std::string& store)
{
    const std::vector<TrayCount> trays = CountTrays(store);
    const char kUnreadable[] = "unreadable";
    int width = DisplayWidth("tray");
    int countWidth = 8;   // "messages"
    int unreadable = 0;
    for (const TrayCount& t : trays) {
        width = std::max(width, DisplayWidth(SjisToUtf8(t.name.Str())));
        unreadable += !t.readable;
    }
    if (unreadable > 0)
        countWidth = static_cast<int>(sizeof kUnreadable - 1);
    auto row = [&](const std::string& name, const std::string& count) {
        std::printf("%s%s  %*s\n", name.c_str(), std::string(static_cast<size_t>(width - DisplayWidth(name)), ' ').c_str(),
                    countWidth, count.c_str());
    };
    row("tray", "messages");
    for (const TrayCount& t : trays)
        row(SjisToUtf8(t.name.Str()), t.readable ? std::to_string(t.live) : kUnreadable);
    if (unreadable == 0)
        return 0;
    // A conversion of such a tray stops with the file error.
    std::fprintf(stderr, "%s: the message storage of %d tray(s) could not be read\n", kName, unreadable);
    return 1;
}

std::string Reason(int errorCode)
{
    switch (errorCode) {
    case kErrorFile: return "a file could not be read or written";
    case kErrorIndex: return "a tray's index could not be loaded";
    case kErrorSystem: return "internal error";
    default: return "error code " + std::to_string(errorCode);
    }
}

// The signal that asked the run to stop (0: none).
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int signal)
{
    g_stopSignal = signal;
}

// SIGINT and SIGTERM stop the run between two messages; a second one ends
// the process at once (its part file stays, recognisable by its name).
void CatchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int signal : {SIGINT, SIGTERM})
        ::sigaction(signal, &action, nullptr);   // cannot fail for these signals
}

// What a stopped run says on stderr: the tray it stopped in, then the table
// of what is complete. Answers the exit status.
int ReportStop(const CProgressMeter& meter, const HostConversion& job)
{
    const int signal = g_stopSignal;
    std::vector<CProgressMeter::Row> complete;
    std::string where = "before the first tray";
    for (const CProgressMeter::Row& row : meter.Rows()) {
        const bool last = &row == &meter.Rows().back();
        if (last && row.messages < row.total) {
            where = "in tray " + row.tray + " after " + std::to_string(row.messages) + " of " +
                    std::to_string(row.total) + " messages";
            // A folder of message files keeps those written; a mailbox is not kept unfinished.
            where += row.written.empty() ? "; its unfinished file was removed" : "; the messages written are kept";
        }
        if (!row.written.empty())
            complete.push_back(row);
    }
    std::fprintf(stderr, "%s: stopped by %s %s\n", kName, signal == SIGTERM ? "SIGTERM" : "SIGINT", where.c_str());
    if (complete.empty())
        std::fprintf(stderr, "%s: no file is complete in %s\n", kName, job.output.c_str());
    else
        std::fprintf(stderr, "%s: complete in %s:\n%s", kName, job.output.c_str(),
                     TrayTable(complete, job.output).c_str());
    return 128 + (signal == SIGTERM ? SIGTERM : SIGINT);
}

int Convert(const HostConversion& job, bool quiet)
{
    // <chrono> cannot be compiled with Shift_JIS literals (it holds a "µ").
    auto clock = [] {
        timespec t{};
        ::clock_gettime(CLOCK_MONOTONIC, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
    };
    CProgressMeter::Draw draw;
    if (!quiet && ::isatty(STDERR_FILENO)) {
        draw = [](const std::string& line, bool final) {
            std::fprintf(stderr, "\r%s\x1b[K%s", line.c_str(), final ? "\n" : "");
            std::fflush(stderr);
        };
    }
    CProgressMeter meter(clock, draw, TerminalColumns());
    meter.StopOn(&g_stopSignal);
    CatchStopSignals();
    HostConversionResult result;
    try {
        result = RunHostConversion(job, meter.Factory());
    } catch (const std::bad_alloc&) {
        // A message too large for memory: say where the run stopped.
        meter.Finish(false);
        std::string where;
        if (!meter.Rows().empty()) {
            const CProgressMeter::Row& row = meter.Rows().back();
            where = " (tray " + row.tray + ", message " + std::to_string(row.messages + 1) + " of " +
                    std::to_string(row.total) + ")";
        }
        std::fprintf(stderr, "%s\n%s: the conversion stopped: out of memory%s; files written so far stay in %s\n",
                     SjisToUtf8(ErrorMessageFor(kErrorSystem).Str()).c_str(), kName, where.c_str(),
                     job.output.c_str());
        return 1;
    }
    // A stop comes between two messages: the one begun last was written.
    const bool stopped = result.errorCode == kErrorStopped;
    meter.Finish(result.mail || stopped);
    if (stopped)
        return ReportStop(meter, job);

    const std::string message = SjisToUtf8(result.message.Str());
    if (result.Ok()) {
        if (!quiet) {
            std::fputs(TrayTable(meter.Rows(), job.output).c_str(), stdout);
            std::printf("%s\n", message.c_str());
        }
        return 0;
    }
    std::string english;
    if (!result.mail) {
        english = "the conversion stopped: " + Reason(result.errorCode);
        if (!meter.Rows().empty()) {
            const CProgressMeter::Row& row = meter.Rows().back();
            english += " (tray " + row.tray + ", after " + std::to_string(row.messages) + " of " +
                       std::to_string(row.total) + " messages)";
        }
    } else {
        english = "the mail was converted, but the address book could not be written to " +
                  (job.csv.empty() ? job.vcard : job.vcard.empty() ? job.csv : job.csv + " and " + job.vcard);
    }
    std::fprintf(stderr, "%s\n%s: %s; files written so far stay in %s\n", message.c_str(), kName, english.c_str(),
                 job.output.c_str());
    return 1;
}

int Main(int argc, char** argv)
{
    Arguments args;
    if (std::string error = Parse(argc, argv, args); !error.empty())
        return UsageError(error);
    if (args.help) {
        std::printf("%s%s", kUsage, kHelp);
        return 0;
    }
    if (args.version) {
        std::printf("%s %s\n", kName, kVersion);
        return 0;
    }
    if (args.folders.empty())
        return UsageError("no store folder given");
    const bool thunderbird = args.format && *args.format == "thunderbird";
    if (args.list) {
        if (args.folders.size() > 1 || args.format || args.trays || args.csv || args.vcard || args.profile)
            return UsageError("--list takes the store folder alone");
    } else if (thunderbird) {
        if (args.folders.size() > 1)
            return UsageError("--format thunderbird takes no output folder: the mail goes into the Thunderbird "
                              "profile (--profile DIR, or the default one)");
        if (args.profile && args.profile->empty())
            return UsageError("--profile needs a folder name");
    } else {
        if (args.profile)
            return UsageError("--profile goes with --format thunderbird");
        if (args.folders.size() < 2)
            return UsageError("no output folder given");
        if (!args.format)
            return UsageError("--format is required: mbox, eml, eudora, netscape or thunderbird");
        if (FormatCode(*args.format) == kFormatNone)
            return UsageError("unknown format \"" + *args.format + "\": mbox, eml, eudora, netscape or thunderbird");
    }
    if (args.folders.size() > 2)
        return UsageError("too many folders: " + args.folders[2]);
    for (const std::string& folder : args.folders) {
        if (folder.empty())
            return UsageError("an empty folder name");
    }

    UseHostRootMachine();
    HostConversion job;
    job.store = args.folders[0];
    if (std::string error = CheckStore(job.store); !error.empty())
        return InputError(error);
    if (args.list)
        return List(job.store);

    if (args.csv && args.csv->empty())
        return UsageError("--csv needs a file name");
    job.csv = args.csv.value_or("");
    if (args.vcard && args.vcard->empty())
        return UsageError("--vcard needs a file name");
    job.vcard = args.vcard.value_or("");
    // Thunderbird: the netscape mailboxes into a folder of the profile's Local Folders.
    ThunderbirdTarget target;
    if (thunderbird) {
        std::string profile = args.profile.value_or("");
        if (!args.profile) {
            if (std::string error = FindHostDefaultProfile(profile); !error.empty())
                return InputError(error);
        }
        if (std::string error = PlanThunderbirdTarget(profile, target); !error.empty())
            return InputError(error);
        for (const std::string& book : {job.csv, job.vcard}) {
            if (!book.empty() && InsideHostFolder(book, profile))
                return InputError((book == job.csv ? "--csv " : "--vcard ") + book +
                                  " lies inside the Thunderbird profile " + profile);
        }
        job.output = target.folder;
        job.format = kFormatNetscape;
    } else {
        job.output = args.folders[1];
        job.format = FormatCode(*args.format);
    }
    for (const std::string& error :
         {SelectTrays(job.store, args.trays, job.trays), CheckOutput(job.output, job.store),
          job.csv.empty() ? std::string() : CheckBookPath("--csv", job.csv, job.output, job.store),
          job.vcard.empty() ? std::string() : CheckBookPath("--vcard", job.vcard, job.output, job.store)}) {
        if (!error.empty())
            return InputError(error);
    }
    if (!job.csv.empty() && !job.vcard.empty() &&
        fs::absolute(job.csv).lexically_normal() == fs::absolute(job.vcard).lexically_normal())
        return InputError("--csv and --vcard name the same file " + job.csv);
    if (thunderbird) {
        if (std::string error = MakeThunderbirdTarget(target); !error.empty()) {
            std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
            return 1;
        }
    }
    // The output folder is made by the conversion when missing.
    const int status = Convert(job, args.quiet);
    if (thunderbird && status == 0 && !args.quiet)
        std::printf("Thunderbird shows the folder %s in Local Folders when it next starts.\n",
                    fs::path(target.mailbox).filename().c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return Main(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kName, e.what());
        return 1;
    }
}

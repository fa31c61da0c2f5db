// vmtool make-store: makes a Velmora store from messages on the host, for
// tests, the demo and the benchmarks.
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/HostPath.h"
#include "framework/Archive.h"
#include "framework/File.h"
#include "framework/Platform.h"
#include "res/resource.h"
#include "store/IndexFile.h"
#include "store/MailIndexData.h"
#include "store/StorageScan.h"
#include "store/TrayList.h"
#include "tools/vmtool/Command.h"
#include "writers/Naming.h"

namespace fs = std::filesystem;

namespace {

extern const VmCommand kMakeStore;

struct Options {
    std::string storeDir;
    std::vector<std::pair<std::string, std::string>> trays;   // UTF-8 name, input path
    bool noIndex = false;
    std::set<std::string> noIndexFor;   // UTF-8 names
    std::set<DWORD> removed;
    DWORD removedEvery = 0;
    bool wide = false;
    bool gap = true;
    DWORD info1 = 0, info2 = 0;
    std::string addressBook;
};

// A host file's bytes, read through the program's own file code.
bool ReadHostFile(const std::string& path, std::string& bytes)
{
    return ReadWholeFile(WindowsPathForHost(path), bytes);
}

// Splits an mbox file at its "From " lines (dropped); ">From " lines lose
// one ">" (mboxrd).
std::vector<std::string> SplitMbox(const std::string& bytes)
{
    std::vector<std::string> messages;
    std::string current;
    bool inMessage = false;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t lf = bytes.find('\n', pos);
        size_t end = lf == std::string::npos ? bytes.size() : lf + 1;
        std::string_view line(bytes.data() + pos, end - pos);
        pos = end;
        if (line.substr(0, 5) == "From ") {
            if (inMessage)
                messages.push_back(std::move(current));
            current.clear();
            inMessage = true;
            continue;
        }
        if (!inMessage)
            continue;
        size_t gt = 0;
        while (gt < line.size() && line[gt] == '>')
            ++gt;
        if (gt > 0 && line.substr(gt, 5) == "From ")
            line.remove_prefix(1);
        current.append(line);
    }
    if (inMessage)
        messages.push_back(std::move(current));
    // The empty line before each separator belongs to the mbox, not the message.
    for (std::string& m : messages) {
        if (m.size() >= 2 && m.compare(m.size() - 2, 2, "\n\n") == 0)
            m.pop_back();
        else if (m.size() >= 4 && m.compare(m.size() - 4, 4, "\r\n\r\n") == 0)
            m.resize(m.size() - 2);
    }
    return messages;
}

// The lines of a message without their line ends.
std::vector<std::string> Lines(const std::string& message)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < message.size()) {
        size_t lf = message.find('\n', pos);
        size_t end = lf == std::string::npos ? message.size() : lf;
        std::string line = message.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        pos = lf == std::string::npos ? message.size() : lf + 1;
    }
    return lines;
}

// The stored form of a message: its lines with CR LF, a line "." as "..",
// and a "." line at the end.
std::string StoredForm(const std::string& message)
{
    std::string stored;
    stored.reserve(message.size() + message.size() / 32 + 8);
    for (const std::string& line : Lines(message)) {
        stored += line == "." ? ".." : line;
        stored += "\r\n";
    }
    stored += ".\r\n";
    return stored;
}

// The index record of one stored message, as rebuilding the index from the
// storage makes it (without the rebuilt flag), numbered number and placed at
// offset (the message's end at most 0xFFFFFFFF) in the storage file. Null
// when the scan does not give one record.
std::unique_ptr<CMailIndexData> RecordFor(const std::string& stored, DWORD number, std::size_t offset)
{
    CMemoryStorageSource source(stored.data(), stored.size());
    CMailIndexList records;
    const StorageScanResult scan = ScanMessageStorage(source, 0, number, records);
    if (!scan.complete || records.size() != 1)
        return nullptr;
    std::unique_ptr<CMailIndexData> record = std::move(records.front());
    record->m_dwFlags &= ~kIndexFlagRebuilt;
    record->m_dwStart += static_cast<DWORD>(offset);
    record->m_dwEnd += static_cast<DWORD>(offset);
    return record;
}

std::u16string ToUtf16(const CString& sjis)
{
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::u16string();
    std::string in = sjis.Str();
    std::string out(in.size() * 4 + 4, '\0');
    char* src = in.data();
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            // A byte without a character: keep it as "?".
            *dst++ = '?';
            *dst++ = 0;
            dstLeft -= 2;
            ++src;
            --srcLeft;
        }
    }
    iconv_close(cd);
    size_t bytes = out.size() - dstLeft;
    std::u16string text(bytes / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(out[2 * i]) |
                                        (static_cast<unsigned char>(out[2 * i + 1]) << 8));
    return text;
}

// Writes records as the index file at path, its strings in the wide form
// when wide is set. A partly written file is removed.
bool WriteIndexFile(const CString& path, const CMailIndexList& records, DWORD info1, DWORD info2, bool wide)
{
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary))
        return false;
    bool ok;
    {
        CArchiveWriter out(file);
        if (wide)
            out.WriteStringsWide(&ToUtf16);
        WriteIndex(out, records, info1, info2);
        ok = out.Flush() && !file.HasError();
    }
    file.Close();
    if (!ok)
        CFile::Remove(path);
    return ok;
}

bool WriteWholeFile(const CString& path, const std::string& bytes)
{
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary))
        return false;
    bool ok = file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    file.Close();
    return ok;
}

bool ParseNumbers(const std::string& text, std::set<DWORD>& out)
{
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t comma = text.find(',', pos);
        std::string item = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos)
            return false;
        out.insert(static_cast<DWORD>(std::stoul(item)));
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    return true;
}

// "Name <addr>" or "addr" from a decoded From value, as one address-book line.
std::string AddressLine(const CString& from)
{
    std::string s = from.Str();
    size_t lt = s.rfind('<');
    size_t gt = s.rfind('>');
    std::string name, addr;
    if (lt != std::string::npos && gt != std::string::npos && gt > lt) {
        addr = s.substr(lt + 1, gt - lt - 1);
        name = s.substr(0, lt);
        while (!name.empty() && (name.back() == ' ' || name.back() == '"'))
            name.pop_back();
        while (!name.empty() && (name.front() == ' ' || name.front() == '"'))
            name.erase(0, 1);
    } else {
        addr = s;
    }
    if (addr.empty())
        return std::string();
    return (name.empty() ? addr : name) + "\t" + addr + "\r\n";
}

int ParseArgs(const std::vector<std::string>& args, Options& o)
{
    for (const std::string& a : args) {
        auto value = [&](const char* opt) -> const char* {
            size_t n = std::strlen(opt);
            return a.compare(0, n, opt) == 0 ? a.c_str() + n : nullptr;
        };
        const char* v;
        if (a == "--no-index") {
            o.noIndex = true;
        } else if ((v = value("--no-index-for="))) {
            o.noIndexFor.insert(v);
        } else if ((v = value("--removed="))) {
            if (!ParseNumbers(v, o.removed))
                return VmUsageError(kMakeStore, "--removed takes numbers separated by commas");
        } else if ((v = value("--removed-every="))) {
            std::set<DWORD> k;
            if (!ParseNumbers(v, k) || k.size() != 1 || *k.begin() == 0)
                return VmUsageError(kMakeStore, "--removed-every takes one number above 0");
            o.removedEvery = *k.begin();
        } else if (a == "--wide") {
            o.wide = true;
        } else if (a == "--no-gap") {
            o.gap = false;
        } else if ((v = value("--info="))) {
            std::string s = v;
            size_t comma = s.find(',');
            std::set<DWORD> a1, a2;
            if (comma == std::string::npos || !ParseNumbers(s.substr(0, comma), a1) ||
                !ParseNumbers(s.substr(comma + 1), a2) || a1.size() != 1 || a2.size() != 1)
                return VmUsageError(kMakeStore, "--info takes two numbers: A,B");
            o.info1 = *a1.begin();
            o.info2 = *a2.begin();
        } else if ((v = value("--address-book="))) {
            o.addressBook = v;
        } else if (a.compare(0, 2, "--") == 0) {
            return VmUsageError(kMakeStore, "unknown option " + a);
        } else if (o.storeDir.empty()) {
            o.storeDir = a;
        } else {
            size_t eq = a.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == a.size())
                return VmUsageError(kMakeStore, "tray expected as TRAY=INPUT: " + a);
            if (!IsUsableTrayName(CString(Utf8ToSjis(a.substr(0, eq)))))
                return VmUsageError(kMakeStore, "tray \"" + a.substr(0, eq) + "\" refused: not one folder name");
            o.trays.emplace_back(a.substr(0, eq), a.substr(eq + 1));
        }
    }
    if (o.storeDir.empty() || o.trays.empty())
        return VmUsageError(kMakeStore, "a store folder and at least one TRAY=INPUT expected");
    return 0;
}

// Whether tray is one of the four fixed trays, which the tray list leaves out.
bool IsFixedTray(const CString& tray)
{
    for (UINT id = IDS_TRAY_INBOX; id <= IDS_TRAY_DRAFT; ++id)
        if (tray == platform::LoadResString(id))
            return true;
    return false;
}

int RunMakeStore(const std::vector<std::string>& args)
{
    Options o;
    if (int bad = ParseArgs(args, o))
        return bad;
    UseHostRootMachine();
    const CString storeDir = WindowsPathForHost(o.storeDir);

    std::string trayList, addresses;
    std::set<std::string> seenAddresses;
    for (const auto& [trayUtf8, input] : o.trays) {
        CString tray(Utf8ToSjis(trayUtf8));
        std::vector<std::string> messages;
        std::error_code ec;
        if (fs::is_directory(input, ec)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(input, ec)) {
                if (entry.is_regular_file() && entry.path().extension() == ".eml")
                    files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
            for (const fs::path& f : files) {
                std::string bytes;
                if (!ReadHostFile(f.string(), bytes)) {
                    std::fprintf(stderr, "vmtool: cannot read %s\n", f.string().c_str());
                    return 1;
                }
                messages.push_back(std::move(bytes));
            }
        } else {
            std::string bytes;
            if (!ReadHostFile(input, bytes)) {
                std::fprintf(stderr, "vmtool: cannot read %s\n", input.c_str());
                return 1;
            }
            messages = SplitMbox(bytes);
        }

        std::string storage;
        CMailIndexList records;
        for (const std::string& message : messages) {
            const std::string stored = StoredForm(message);
            if (storage.size() + stored.size() > 0xFFFFFFFFu) {
                std::fprintf(stderr, "vmtool: the storage file of %s would pass the index's 4 GB offsets\n",
                             trayUtf8.c_str());
                return 1;
            }
            auto record = RecordFor(stored, static_cast<DWORD>(records.size()), storage.size());
            if (!record) {
                std::fprintf(stderr, "vmtool: a message of %s gives no index record\n", trayUtf8.c_str());
                return 1;
            }
            storage += stored;
            if (o.gap)
                storage += "\r\n";
            if (o.removed.count(record->m_nNumber) ||
                (o.removedEvery && (record->m_nNumber + 1) % o.removedEvery == 0))
                record->m_dwFlags |= kIndexFlagRemoved;
            std::string line = AddressLine(record->m_strFrom);
            if (!line.empty() && seenAddresses.insert(line).second)
                addresses += line;
            records.push_back(std::move(record));
        }

        const CString folder = GetTrayFolderPath(storeDir, tray);
        if (!CreateFolderPath(folder) || !WriteWholeFile(folder + kStorageFileName, storage)) {
            std::fprintf(stderr, "vmtool: cannot write the storage file of %s\n", trayUtf8.c_str());
            return 1;
        }
        const CString indexPath = folder + kIndexFileName;
        if (o.noIndex || o.noIndexFor.count(trayUtf8)) {
            CFile::Remove(indexPath);   // an index left from an earlier run; usually there is none
        } else if (!WriteIndexFile(indexPath, records, o.info1, o.info2, o.wide)) {
            std::fprintf(stderr, "vmtool: cannot write the index of %s\n", trayUtf8.c_str());
            return 1;
        }
        if (!IsFixedTray(tray))
            trayList += tray.Str() + "\r\n";
        std::printf("%s: %zu messages, %zu bytes\n", trayUtf8.c_str(), records.size(), storage.size());
    }

    if (!o.addressBook.empty()) {
        std::string utf8;
        if (!ReadHostFile(o.addressBook, utf8)) {
            std::fprintf(stderr, "vmtool: cannot read %s\n", o.addressBook.c_str());
            return 1;
        }
        addresses = Utf8ToSjis(utf8);
    }
    if (!WriteWholeFile(storeDir + platform::LoadResString(IDS_PATH_TRAYLIST), trayList) ||
        !WriteWholeFile(storeDir + platform::LoadResString(IDS_PATH_ADDRESSBOOK), addresses)) {
        std::fprintf(stderr, "vmtool: cannot write the tray list or the address book\n");
        return 1;
    }
    return 0;
}

const VmCommand kMakeStore{
    "make-store", "vmtool make-store [OPTIONS] STORE_DIR TRAY=INPUT [TRAY=INPUT...]",
    "Makes a Velmora store in the host folder STORE_DIR (created when missing):\n"
    "      per tray Data/MailBox/<tray>/Message Storage.mbx and vmmail.idx, then\n"
    "      Data/MailTray.dat (the trays that are not fixed ones, in order) and\n"
    "      Data/AddressBook.txt (name TAB address per From address met).\n"
    "      TRAY is the tray name in UTF-8 (stored as Shift_JIS); INPUT is a folder of\n"
    "      .eml files (taken in name order) or an mbox file. Message bytes are copied\n"
    "      as they are (ISO-2022-JP mail stays so); lines end in CR LF, a line \".\"\n"
    "      is stored as \"..\", and each message ends with a \".\" line.\n"
    "      Each index record is the one rebuilding the index from the storage makes\n"
    "      for the message (header summary, flags 0x1/0x2/0x4, byte range), without\n"
    "      the rebuilt flag 0x100.\n"
    "options:\n"
    "      --no-index             write no vmmail.idx at all\n"
    "      --no-index-for=TRAY    write none for this tray (repeatable)\n"
    "      --removed=N[,N...]     mark these message numbers (0-based, in every tray) removed (0x10)\n"
    "      --removed-every=K      mark every K-th message removed\n"
    "      --wide                 write the index strings in the wide (UTF-16) form\n"
    "      --no-gap               no empty line after each message's \".\" line\n"
    "      --info=A,B             index trailer values (default 0,0)\n"
    "      --address-book=FILE    use FILE (UTF-8, name TAB address lines) as the address book",
    &RunMakeStore};

}  // namespace

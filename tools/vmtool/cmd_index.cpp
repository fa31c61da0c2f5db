// vmtool dump-index FILE / vmtool rebuild STORAGE: the records that loading
// an index file, or rebuilding from a storage file, gives, as JSON lines.
#include <cstdio>
#include <string>
#include <vector>

#include "framework/File.h"
#include "framework/Sjis.h"
#include "store/MailIndexLoader.h"
#include "store/TrayList.h"
#include "tools/vmtool/Command.h"
#include "cli/HostPath.h"

namespace {

std::string Hex(const CString& text)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(static_cast<size_t>(text.GetLength()) * 2);
    for (unsigned char c : text.Str()) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

void PrintRecords(const TrayIndex& index)
{
    for (const auto& r : index.records) {
        std::printf("{\"number\":%u,\"subject\":\"%s\",\"from\":\"%s\",\"to\":\"%s\",\"cc\":\"%s\",\"bcc\":\"%s\","
                    "\"replyTo\":\"%s\",\"date\":\"%s\",\"messageId\":\"%s\",\"inReplyTo\":\"%s\",\"flags\":%u,"
                    "\"start\":%u,\"end\":%u,\"mark\":%u}\n",
                    r->m_nNumber, Hex(r->m_strSubject).c_str(), Hex(r->m_strFrom).c_str(), Hex(r->m_strTo).c_str(),
                    Hex(r->m_strCc).c_str(), Hex(r->m_strBcc).c_str(), Hex(r->m_strReplyTo).c_str(),
                    Hex(r->m_strDate).c_str(), Hex(r->m_strMessageId).c_str(), Hex(r->m_strInReplyTo).c_str(),
                    r->m_dwFlags, r->m_dwStart, r->m_dwEnd, r->m_dwMark);
    }
    std::printf("{\"count\":%d,\"removed\":%d,\"live\":%d,\"info1\":%u,\"info2\":%u}\n", index.messageCount,
                index.removedCount, index.liveCount, index.info1, index.info2);
}

CString FolderOf(const CString& path)
{
    int last = SjisReverseFind(path, '\\');
    return last < 0 ? CString() : path.Left(last);
}

// A storage file that could not be read to its end: its records would be
// only some of them.
int StorageError(const CString& storage)
{
    std::fprintf(stderr, "vmtool: %s could not be read to its end; no records printed\n",
                 HostPathFor(storage).c_str());
    return 1;
}

extern const VmCommand kDumpIndex;
extern const VmCommand kRebuild;

int RunDumpIndex(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return VmUsageError(kDumpIndex, "one index file expected");
    UseHostRootMachine();
    TrayIndex loaded;
    CString index = WindowsPathForHost(args[0]);
    CString storage = FolderOf(index) + kStorageFileName;
    CMailIndexLoader::ReadResult result = CMailIndexLoader::ReadIndexFile(index, storage, loaded);
    if (result == CMailIndexLoader::kIndexMissing) {
        std::fprintf(stderr, "vmtool: cannot open %s\n", args[0].c_str());
        return 1;
    }
    using Storage = CMailIndexLoader::StorageResult;
    int added = 0;
    if (result == CMailIndexLoader::kIndexUnusable) {
        std::fprintf(stderr,
                     "vmtool: %s cannot be read or is unusable; records rebuilt from the storage file beside it\n",
                     args[0].c_str());
        if (CMailIndexLoader::ScanStorageFile(storage, false, loaded) == Storage::kFailed)
            return StorageError(storage);
        loaded.liveCount = CMailIndexLoader::CountLiveRecords(loaded.records);
    } else if (CMailIndexLoader::ScanStorageTail(storage, loaded, &added) == Storage::kFailed) {
        return StorageError(storage);
    } else if (added) {
        std::fprintf(stderr, "vmtool: %d message(s) stored after the index was saved, found in the storage file\n",
                     added);
    }
    PrintRecords(loaded);
    return 0;
}

int RunRebuild(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return VmUsageError(kRebuild, "one storage file expected");
    UseHostRootMachine();
    TrayIndex rebuilt;
    CString storage = WindowsPathForHost(args[0]);
    CFileStatus status;
    if (!CFile::GetStatus(storage, status) || (status.m_attribute & platform::kAttrDirectory)) {
        std::fprintf(stderr, "vmtool: cannot open %s\n", args[0].c_str());
        return 1;
    }
    if (CMailIndexLoader::ScanStorageFile(storage, false, rebuilt) == CMailIndexLoader::StorageResult::kFailed)
        return StorageError(storage);
    rebuilt.liveCount = CMailIndexLoader::CountLiveRecords(rebuilt.records);
    PrintRecords(rebuilt);
    return 0;
}

const VmCommand kDumpIndex{
    "dump-index", "vmtool dump-index FILE",
    "Prints the records that loading the index file FILE gives, one JSON line each\n"
    "      (strings as hexadecimal Shift_JIS bytes), then a line with the counts and\n"
    "      trailer values. As the loader does, an unusable index is rebuilt from the\n"
    "      \"Message Storage.mbx\" beside it, and messages stored there past the index's\n"
    "      furthest range follow the index's records; nothing is written. A storage\n"
    "      file that cannot be read to its end prints nothing and exits with 1.",
    &RunDumpIndex};

const VmCommand kRebuild{
    "rebuild", "vmtool rebuild STORAGE",
    "Prints the records that rebuilding from the storage file STORAGE gives, in the\n"
    "      form of dump-index. Nothing is written or deleted. A file that cannot be\n"
    "      read to its end prints nothing and exits with 1.",
    &RunRebuild};

}  // namespace

// POSIX stand-in of the platform services (see framework/posix/Machine.h).
#include "framework/Platform.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "framework/Ascii.h"
#include "framework/Sjis.h"
#include "framework/posix/Machine.h"
#include "res/resource.h"
#include "res/strings.h"

namespace {

PosixMachine& Machine()
{
    static PosixMachine machine = [] {
        PosixMachine m;
        // Tools name their machine through the environment; tests set one. A
        // description that cannot be used is said, and the default machine stays.
        if (const char* file = std::getenv("VELMORA_MACHINE")) {
            std::string error;
            if (!LoadPosixMachine(file, &m, &error))
                std::fprintf(stderr, "VELMORA_MACHINE: %s\n", error.c_str());
        }
        return m;
    }();
    return machine;
}

// Open files with a read fault: handle -> the offset from which reads fail.
std::map<int, std::uint64_t>& FaultyFiles()
{
    static std::map<int, std::uint64_t> files;
    return files;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = AsciiToLower(c);
    return s;
}

// One converter per direction and thread, opened once: opening one costs
// more than converting a file name, and every path passes through here.
class CachedIconv {
public:
    CachedIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CachedIconv()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);   // nothing is left to lose
    }
    CachedIconv(const CachedIconv&) = delete;
    CachedIconv& operator=(const CachedIconv&) = delete;
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Converts Shift_JIS (CP932) to UTF-8, or UTF-8 to Shift_JIS.
std::string Convert(const std::string& in, bool toUtf8)
{
    thread_local CachedIconv sjisToUtf8("UTF-8", "CP932"), utf8ToSjis("CP932", "UTF-8");
    iconv_t cd = toUtf8 ? sjisToUtf8.Get() : utf8ToSjis.Get();
    if (cd == reinterpret_cast<iconv_t>(-1))
        return in;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);   // a fresh state; a reset cannot fail
    std::string out;
    out.reserve(in.size() * 3 / 2 + 8);
    char buf[1024];
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // Not convertible: keep the byte as it is and go on after it.
            out += *src;
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);   // a reset of the state cannot fail
        }
    }
    return out;
}

DWORD ErrnoToWindows(int err, const std::string& hostPath)
{
    switch (err) {
    case ENOENT: {
        // Windows tells a missing file (2) from a missing folder (3).
        std::string parent = hostPath.substr(0, hostPath.find_last_of('/'));
        struct stat st;
        if (!parent.empty() && (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
            return kErrorPathNotFound;
        return kErrorFileNotFound;
    }
    case ENOTDIR: return kErrorPathNotFound;
    case EEXIST: return kErrorAlreadyExists;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return kErrorAccessDenied;
    case ENOSPC: return 112;         // ERROR_DISK_FULL
    case ENAMETOOLONG: return 206;   // ERROR_FILENAME_EXCED_RANGE
    default: return 31;              // ERROR_GEN_FAILURE
    }
}

}  // namespace

// ---- Machine ---------------------------------------------------------------

void PosixMachine::SetRegistryValue(const CString& key, const CString& name, const CString& value)
{
    registry[Lower(key.Str())][Lower(name.Str())] = value;
}

void PosixMachine::AddRegistryKey(const CString& key)
{
    registry[Lower(key.Str())];
}

void SetPosixMachine(const PosixMachine& machine)
{
    Machine() = machine;
}

const PosixMachine& GetPosixMachine()
{
    return Machine();
}

bool LoadPosixMachine(const std::string& file, PosixMachine* machine, std::string* error)
{
    std::ifstream in(file);
    if (!in) {
        *error = "cannot read the machine description " + file;
        return false;
    }
    PosixMachine m;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        size_t sp = line.find(' ');
        std::string word = line.substr(0, sp);
        std::string rest = sp == std::string::npos ? "" : line.substr(sp + 1);
        CString sjis(Utf8ToSjis(rest));
        if (word == "drive" && rest.size() > 2 && rest[1] == ' ') {
            char letter = AsciiToUpper(rest[0]);
            m.drives[letter] = rest.substr(2);
        } else if (word == "current-drive" && !rest.empty()) {
            m.currentDrive = AsciiToUpper(rest[0]);
        } else if (word == "platform") {
            m.platformId = std::atoi(rest.c_str());
        } else if (word == "shfolder") {
            m.hasShfolder = rest != "0";
        } else if (word == "appdata") {
            m.appData = sjis;
        } else if (word == "clock") {
            platform::LocalTime t;
            std::tm tm{};
            if (std::sscanf(rest.c_str(), "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day,
                            &t.hour, &t.minute, &t.second) != 6) {
                *error = "line " + std::to_string(number) + ": clock wants YYYY-MM-DD hh:mm:ss";
                return false;
            }
            tm.tm_year = t.year - 1900;
            tm.tm_mon = t.month - 1;
            tm.tm_mday = t.day;
            tm.tm_hour = 12;
            timegm(&tm);   // only for tm_wday, which it sets
            t.dayOfWeek = tm.tm_wday;
            m.clock = t;
        } else if (word == "zone") {
            const bool digits = rest.size() == 5 && rest.find_first_not_of("0123456789", 1) == std::string::npos;
            const int hhmm = digits ? std::atoi(rest.c_str() + 1) : 0;
            if (!digits || (rest[0] != '+' && rest[0] != '-') || hhmm % 100 > 59) {
                *error = "line " + std::to_string(number) + ": zone wants +hhmm or -hhmm";
                return false;
            }
            m.zoneMinutes = (hhmm / 100 * 60 + hhmm % 100) * (rest[0] == '-' ? -1 : 1);
        } else if (word == "read-fault") {
            const size_t blank = rest.find(' ');
            const std::string offset = rest.substr(0, blank);
            if (blank == std::string::npos || blank + 1 == rest.size() || offset.empty() ||
                offset.find_first_not_of("0123456789") != std::string::npos || offset.size() > 18) {
                *error = "line " + std::to_string(number) + ": read-fault wants OFFSET PATH";
                return false;
            }
            m.readFaults[Utf8ToSjis(rest.substr(blank + 1))] = std::stoull(offset);
        } else if (word == "reg" || word == "regkey") {
            std::string s = sjis.Str();
            size_t bar = word == "reg" ? s.find('|') : std::string::npos;
            if (word == "reg" && bar == std::string::npos) {
                *error = "line " + std::to_string(number) + ": reg wants KEY|NAME=VALUE";
                return false;
            }
            if (bar == std::string::npos) {
                m.AddRegistryKey(CString(s));
                continue;
            }
            std::string key = s.substr(0, bar), nv = s.substr(bar + 1);
            size_t eq = nv.find('=');
            std::string name = nv.substr(0, eq);
            std::string value = eq == std::string::npos ? "" : nv.substr(eq + 1);
            m.SetRegistryValue(CString(key), CString(name), CString(value));
        } else {
            *error = "line " + std::to_string(number) + ": unknown word '" + word + "'";
            return false;
        }
    }
    *machine = m;
    return true;
}

std::string SjisToUtf8(const std::string& sjis)
{
    for (unsigned char c : sjis)
        if (c >= 0x80)
            return Convert(sjis, true);
    return sjis;
}

std::string Utf8ToSjis(const std::string& utf8)
{
    for (unsigned char c : utf8)
        if (c >= 0x80)
            return Convert(utf8, false);
    return utf8;
}

std::string HostPathFor(const char* windowsPath)
{
    const PosixMachine& m = Machine();
    CString path(windowsPath ? windowsPath : "");
    char drive = m.currentDrive;
    int pos = 0;
    if (path.GetLength() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        drive = AsciiToUpper(path[0]);
        pos = 2;
    }
    auto it = m.drives.find(drive);
    if (it == m.drives.end())
        return std::string();
    std::string host = it->second;
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    // Walk the Shift_JIS characters, splitting at "\" and "/".
    std::string component;
    auto flush = [&] {
        if (component.empty() || component == ".")
            ;
        else if (component == "..") {
            size_t slash = host.find_last_of('/');
            if (slash != std::string::npos && host.size() > it->second.size())
                host.erase(slash);
        } else {
            host += '/';
            host += SjisToUtf8(component);
        }
        component.clear();
    };
    const int n = path.GetLength();
    while (pos < n) {
        int len = SjisCharLength(path, pos);
        char c = path[pos];
        if (len == 1 && (c == '\\' || c == '/'))
            flush();
        else
            component.append(path.GetString() + pos, static_cast<size_t>(len));
        pos += len;
    }
    flush();
    return host;
}

// ---- Platform services -----------------------------------------------------

namespace {

// True when the machine refuses to make a file at the host path.
bool CreateRefused(const std::string& host)
{
    for (const std::string& path : Machine().createFaults) {
        if (HostPathFor(path.c_str()) == host)
            return true;
    }
    return false;
}

}  // namespace

namespace platform {

FileHandle OpenFileHandle(const char* path, unsigned flags, DWORD* error)
{
    std::string host = HostPathFor(path);
    if (host.empty()) {
        if (error)
            *error = kErrorPathNotFound;
        return kInvalidFile;
    }
    if ((flags & kOpenCreate) && CreateRefused(host)) {
        if (error)
            *error = kErrorAccessDenied;
        return kInvalidFile;
    }
    int oflags = O_CLOEXEC;
    unsigned access = flags & kOpenReadWrite;
    oflags |= access == kOpenReadWrite ? O_RDWR : (access == kOpenWrite ? O_WRONLY : O_RDONLY);
    if (flags & kOpenCreate) {
        oflags |= O_CREAT;
        if (flags & kOpenCreateNew)
            oflags |= O_EXCL;
        else if (!(flags & kOpenNoTruncate))
            oflags |= O_TRUNC;
    }
    int fd = ::open(host.c_str(), oflags, 0644);
    if (fd < 0) {
        if (error)
            *error = ErrnoToWindows(errno, host);
        return kInvalidFile;
    }
    // Opening a folder for writing fails by itself (EISDIR); for reading it
    // succeeds, and must not.
    struct stat st;
    if (access == kOpenRead && (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
        ::close(fd);   // nothing was read or written through it
        if (error)
            *error = kErrorAccessDenied;   // Windows will not open a folder as a file
        return kInvalidFile;
    }
    FaultyFiles().erase(fd);
    for (const auto& [faultPath, offset] : Machine().readFaults) {
        if (HostPathFor(faultPath.c_str()) == host)
            FaultyFiles()[fd] = offset;
    }
    return fd;
}

bool ReadBytes(FileHandle file, void* buffer, UINT count, UINT* done)
{
    *done = 0;
    // A read that would reach the fault's byte reads up to it, then fails.
    bool fault = false;
    if (auto it = FaultyFiles().find(static_cast<int>(file)); it != FaultyFiles().end()) {
        struct stat st;
        const off_t at = ::lseek(static_cast<int>(file), 0, SEEK_CUR);
        const std::uint64_t offset = it->second;
        if (at >= 0 && fstat(static_cast<int>(file), &st) == 0) {
            const std::uint64_t position = static_cast<std::uint64_t>(at);
            if (static_cast<std::uint64_t>(st.st_size) > offset && position + count > offset) {
                fault = true;
                count = position < offset ? static_cast<UINT>(offset - position) : 0;
            }
        }
    }
    char* p = static_cast<char*>(buffer);
    while (*done < count) {
        ssize_t r = ::read(static_cast<int>(file), p + *done, count - *done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (r == 0)
            break;
        *done += static_cast<UINT>(r);
    }
    if (fault) {
        errno = EIO;
        return false;
    }
    return true;
}

bool WriteBytes(FileHandle file, const void* buffer, UINT count)
{
    const char* p = static_cast<const char*>(buffer);
    UINT written = 0;
    while (written < count) {
        ssize_t r = ::write(static_cast<int>(file), p + written, count - written);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (r == 0)
            return false;
        written += static_cast<UINT>(r);
    }
    return true;
}

bool SeekFile(FileHandle file, std::int64_t offset, int origin, std::uint64_t* position)
{
    int whence = origin == 0 ? SEEK_SET : (origin == 1 ? SEEK_CUR : SEEK_END);
    off_t r = ::lseek(static_cast<int>(file), static_cast<off_t>(offset), whence);
    if (r < 0)
        return false;
    if (position)
        *position = static_cast<std::uint64_t>(r);
    return true;
}

bool GetFileLength(FileHandle file, std::uint64_t* size)
{
    struct stat st;
    if (fstat(static_cast<int>(file), &st) != 0)
        return false;
    *size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void CloseFile(FileHandle file)
{
    FaultyFiles().erase(static_cast<int>(file));
    ::close(static_cast<int>(file));   // writes have reported their failures; the descriptor is gone either way
}

bool FlushFileToDisk(FileHandle file)
{
#ifdef __APPLE__
    // fsync leaves the data in the drive's cache there.
    if (::fcntl(static_cast<int>(file), F_FULLFSYNC) == 0)
        return true;
#endif
    return ::fsync(static_cast<int>(file)) == 0;
}

bool SetFileModifiedTime(FileHandle file, std::int64_t seconds)
{
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;   // the access time stays
    times[1].tv_sec = static_cast<time_t>(seconds);
    if (static_cast<std::int64_t>(times[1].tv_sec) != seconds)
        return false;
    return ::futimens(static_cast<int>(file), times) == 0;
}

bool GetFileStatus(const char* path, FileStatus* status)
{
    std::string host = HostPathFor(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0)
        return false;
    status->size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    status->attribute = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
    if (!(st.st_mode & S_IWUSR))
        status->attribute |= kAttrReadOnly;
    return true;
}

bool IsSameFile(const char* a, const char* b)
{
    const std::string hostA = HostPathFor(a), hostB = HostPathFor(b);
    if (hostA.empty() || hostB.empty())
        return false;
    if (Lower(hostA) == Lower(hostB))
        return true;
    struct stat sa, sb;
    return ::stat(hostA.c_str(), &sa) == 0 && ::stat(hostB.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool IsInsideFolder(const char* path, const char* folder)
{
    const std::string hostPath = HostPathFor(path), hostFolder = HostPathFor(folder);
    if (hostPath.empty() || hostFolder.empty())
        return false;
    // Links are resolved as far as the path exists; the rest is normalised.
    auto resolved = [](const std::string& host) {
        std::error_code ec;
        std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(host), ec);
        if (ec)
            p = std::filesystem::absolute(host).lexically_normal();
        std::vector<std::string> parts;
        for (const auto& part : p)
            if (!part.empty() && part != "/" && part != ".")
                parts.push_back(Lower(part.string()));
        return parts;
    };
    const std::vector<std::string> p = resolved(hostPath), f = resolved(hostFolder);
    return f.size() <= p.size() && std::equal(f.begin(), f.end(), p.begin());
}

bool RemoveFile(const char* path)
{
    std::string host = HostPathFor(path);
    return !host.empty() && ::unlink(host.c_str()) == 0;
}

DWORD MoveFileTo(const char* from, const char* to, bool replace)
{
    const std::string hostFrom = HostPathFor(from), hostTo = HostPathFor(to);
    if (hostFrom.empty() || hostTo.empty())
        return kErrorPathNotFound;
    if (CreateRefused(hostTo))
        return kErrorAccessDenied;
    if (replace)
        return ::rename(hostFrom.c_str(), hostTo.c_str()) == 0 ? 0 : ErrnoToWindows(errno, hostTo);
#if defined(__linux__)
    if (::renameat2(AT_FDCWD, hostFrom.c_str(), AT_FDCWD, hostTo.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
#elif defined(__APPLE__)
    if (::renamex_np(hostFrom.c_str(), hostTo.c_str(), RENAME_EXCL) == 0)
        return 0;
#else
    errno = ENOSYS;
#endif
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP)
        return ErrnoToWindows(errno, hostTo);
    // A file system without a no-replace rename: a second link, then the
    // first one removed; without links either, a test just before a rename.
    if (::link(hostFrom.c_str(), hostTo.c_str()) == 0) {
        ::unlink(hostFrom.c_str());   // two names of one complete file at worst
        return 0;
    }
    if (errno == EEXIST)
        return kErrorAlreadyExists;
    struct stat st;
    if (::lstat(hostTo.c_str(), &st) == 0)
        return kErrorAlreadyExists;
    return ::rename(hostFrom.c_str(), hostTo.c_str()) == 0 ? 0 : ErrnoToWindows(errno, hostTo);
}

DWORD MakeFolder(const char* path)
{
    std::string host = HostPathFor(path);
    if (host.empty())
        return kErrorPathNotFound;
    if (::mkdir(host.c_str(), 0755) == 0)
        return 0;
    return ErrnoToWindows(errno, host);
}

bool ReadRegistryValue(RegistryRoot root, const char* key, const char* valueName,
                       char* buffer, DWORD size)
{
    std::string full = std::string(root == kHkeyLocalMachine ? "hklm\\" : "hkcu\\") + Lower(key ? key : "");
    const auto& reg = Machine().registry;
    auto k = reg.find(full);
    if (k == reg.end())
        return false;
    auto v = k->second.find(Lower(valueName ? valueName : ""));
    if (v != k->second.end() && size > 0) {
        // Cut a value that does not fit, always leaving a terminating zero.
        size_t n = std::min<size_t>(static_cast<size_t>(v->second.GetLength()), size - 1);
        std::memcpy(buffer, v->second.GetString(), n);
        buffer[n] = '\0';
    }
    return true;
}

bool GetAppDataFolder(CString* folder)
{
    const PosixMachine& m = Machine();
    if (!m.hasShfolder)
        return false;
    *folder = m.appData;
    return true;
}

int GetPlatformId()
{
    return Machine().platformId;
}

LocalTime LocalClock()
{
    if (Machine().clock)
        return *Machine().clock;
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (Machine().zoneMinutes) {
        now += static_cast<std::time_t>(*Machine().zoneMinutes) * 60;
        gmtime_r(&now, &tm);      // fails only for times past the year 2^31; tm stays zero
    } else {
        localtime_r(&now, &tm);   // likewise
    }
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.dayOfWeek = tm.tm_wday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    return t;
}

bool LocalTimeToUtc(const LocalTime& local, std::int64_t* seconds)
{
    std::tm tm{};
    tm.tm_year = local.year - 1900;
    tm.tm_mon = local.month - 1;
    tm.tm_mday = local.day;
    tm.tm_hour = local.hour;
    tm.tm_min = local.minute;
    tm.tm_sec = local.second;
    tm.tm_isdst = -1;
    tm.tm_wday = -1;   // set by a conversion that succeeded (-1 is a valid time)
    const std::optional<int> zone = Machine().zoneMinutes;
    const std::time_t t = zone ? timegm(&tm) : std::mktime(&tm);
    if (tm.tm_wday < 0)
        return false;
    *seconds = static_cast<std::int64_t>(t) - (zone ? static_cast<std::int64_t>(*zone) * 60 : 0);
    return true;
}

CString Utf16ToSjis(const std::uint16_t* text, std::size_t length)
{
    std::string utf16(reinterpret_cast<const char*>(text), length * 2);
    iconv_t cd = iconv_open("CP932", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return CString();
    std::string out;
    char buf[1024];
    char* src = utf16.data();
    size_t srcLeft = utf16.size();
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // A character without a Shift_JIS form (or a broken surrogate).
            out += '?';
            size_t skip = std::min<size_t>(2, srcLeft);
            src += skip;
            srcLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);   // a reset of the state cannot fail
        }
    }
    iconv_close(cd);   // nothing is left to lose
    return CString(std::move(out));
}

// ---- Text in other charsets ----------------------------------------------

namespace {

// UTF-16 in the host's byte order, so iconv writes char16_t values.
const char* const kUtf16Host = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

// glibc's and libiconv's CP1255 and CP1258 converters join a letter and the
// combining mark after it into one precomposed character; Windows and
// Python keep the two. These are the bytes of those marks: a piece of text
// is cut in front of each, so that the letter has left the converter before
// its mark arrives.
bool IsCombiningMark(unsigned codePage, unsigned char b)
{
    if (codePage == 1258)
        return b == 0xCC || b == 0xD2 || b == 0xDE || b == 0xEC || b == 0xF2;
    if (codePage == 1255)
        return (b >= 0xC0 && b <= 0xCD) || (b >= 0xCF && b <= 0xD2);
    return false;
}

// One piece through iconv, flushed at its end when flush (for the
// converters that hold a letter back for a mark that may follow); false on
// any byte sequence that is not (or not wholly) a character.
bool IconvPiece(iconv_t cd, const char* text, std::size_t n, bool flush, std::u16string& out)
{
    char* src = const_cast<char*>(text);
    std::size_t srcLeft = n;
    std::size_t used = out.size();
    out.resize(used + n + 16);   // one unit per byte mostly; grown when not
    bool flushing = false;
    for (;;) {
        char* dst = reinterpret_cast<char*>(out.data() + used);
        const std::size_t room = (out.size() - used) * sizeof(char16_t);
        std::size_t dstLeft = room;
        const std::size_t r = flushing ? iconv(cd, nullptr, nullptr, &dst, &dstLeft)
                                       : iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        const int error = errno;
        used += (room - dstLeft) / sizeof(char16_t);
        if (r == static_cast<std::size_t>(-1)) {
            if (error != E2BIG)
                return false;
            out.resize(out.size() * 2 + 16);
            continue;
        }
        if (flushing || !flush)
            break;
        flushing = true;
    }
    out.resize(used);
    return true;
}

}  // namespace

CharsetDecoder::CharsetDecoder(unsigned codePage, const char* iconvName) : m_codePage(codePage)
{
    iconv_t cd = iconvName ? iconv_open(kUtf16Host, iconvName) : kNoIconv;
    m_handle = reinterpret_cast<std::intptr_t>(cd);
}

CharsetDecoder::~CharsetDecoder()
{
    if (IsAvailable())
        iconv_close(reinterpret_cast<iconv_t>(m_handle));   // nothing is left to lose
}

bool CharsetDecoder::IsAvailable() const
{
    return reinterpret_cast<iconv_t>(m_handle) != kNoIconv;
}

bool CharsetDecoder::Decode(const char* text, std::size_t n, std::u16string& out)
{
    if (!IsAvailable())
        return false;
    if (n == 0)
        return true;
    iconv_t cd = reinterpret_cast<iconv_t>(m_handle);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);   // a reset of the state cannot fail
    const std::size_t before = out.size();
    if (m_codePage != 1255 && m_codePage != 1258) {
        if (IconvPiece(cd, text, n, false, out))
            return true;
        out.resize(before);
        return false;
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    std::size_t start = 0;
    for (std::size_t i = 1; i <= n; ++i) {
        if (i < n && !IsCombiningMark(m_codePage, p[i]))
            continue;
        if (!IconvPiece(cd, text + start, i - start, true, out)) {
            out.resize(before);
            return false;
        }
        start = i;
    }
    return true;
}

namespace {

// The Unicode characters code page 932 has a code for: what iconv's CP932
// decodes its codes to (JIS X 0208, the NEC and IBM extensions, the
// user-defined area, ASCII and half-width katakana). iconv's encoder also
// takes some more (U+00A5 and U+203E as the ASCII 0x5C and 0x7E, the other
// vendors' forms of seven JIS symbols) that Windows leaves without a code;
// they are not among these. Built once, from iconv's own decoder.
struct Cp932Coverage {
    std::uint64_t bits[0x10000 / 64] = {};
    bool Has(char16_t c) const { return (bits[c / 64] >> (c % 64)) & 1u; }
};

const Cp932Coverage& Coverage()
{
    static const Cp932Coverage coverage = [] {
        Cp932Coverage c;
        std::string codes;
        for (int b = 0; b < 0x100; ++b) {
            if (b < 0x80 || (b >= 0xA1 && b <= 0xDF))
                codes += static_cast<char>(b);
            for (int t = 0x40; t <= 0xFC && IsSjisLeadByte(static_cast<BYTE>(b)); ++t) {
                if (IsCp932Assigned(static_cast<BYTE>(b), static_cast<BYTE>(t))) {
                    codes += static_cast<char>(b);
                    codes += static_cast<char>(t);
                }
            }
        }
        iconv_t cd = iconv_open(kUtf16Host, "CP932");
        if (cd == kNoIconv)
            return c;
        std::u16string unicode;
        // All at once; code by code when this iconv refuses some of them.
        if (!IconvPiece(cd, codes.data(), codes.size(), false, unicode)) {
            unicode.clear();
            for (std::size_t i = 0; i < codes.size();) {
                const std::size_t n = IsSjisLeadByte(static_cast<BYTE>(codes[i])) ? 2 : 1;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                std::u16string one;
                if (IconvPiece(cd, codes.data() + i, n, false, one))
                    unicode += one;
                i += n;
            }
        }
        iconv_close(cd);   // nothing is left to lose
        for (char16_t u : unicode)
            c.bits[u / 64] |= std::uint64_t{1} << (u % 64);
        return c;
    }();
    return coverage;
}

// Windows' single bytes for U+0080 and U+F8F0-U+F8F3, which iconv's CP932
// has no code for; 0 for any other character.
char Cp932SingleByte(char16_t c)
{
    switch (c) {
    case 0x0080: return '\x80';
    case 0xF8F0: return '\xA0';
    case 0xF8F1: return '\xFD';
    case 0xF8F2: return '\xFE';
    case 0xF8F3: return '\xFF';
    default: return 0;
    }
}

// A run of characters code page 932 has codes for through iconv; a
// character it still refuses becomes missing.
void IconvToCp932(iconv_t cd, const char16_t* text, std::size_t n, const char (&missing)[3], std::string& out)
{
    char* src = reinterpret_cast<char*>(const_cast<char16_t*>(text));
    std::size_t srcLeft = n * sizeof(char16_t);
    char buf[4096];
    while (srcLeft > 0) {
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out.append(missing, 2);
            const std::size_t skip = std::min<std::size_t>(sizeof(char16_t), srcLeft);
            src += skip;
            srcLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);   // a reset of the state cannot fail
        }
    }
}

}  // namespace

void AppendUtf16AsUtf8(const char16_t* text, std::size_t n, std::string& out)
{
    if (!text)
        return;
    // Encoded here: UTF-8 needs no converter. A lone surrogate becomes U+FFFD,
    // as Windows' UTF-8 code page makes it.
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

void AppendUtf16AsCp932(const char16_t* text, std::size_t n, const char (&missing)[3], CString& out)
{
    if (!text || n == 0)
        return;
    std::string& s = out.Str();
    s.reserve(s.size() + n * 2);
    const Cp932Coverage& coverage = Coverage();
    iconv_t cd = kNoIconv;
    // ASCII and characters without a code are written here; runs of other
    // characters go to iconv. A surrogate, paired or not, has no code (code
    // page 932 holds nothing beyond U+FFFF).
    std::size_t i = 0;
    while (i < n) {
        const char16_t c = text[i];
        if (c < 0x80) {
            s += static_cast<char>(c);
            ++i;
        } else if (!coverage.Has(c)) {
            const char single = Cp932SingleByte(c);
            if (single)
                s += single;
            else
                s.append(missing, 2);
            ++i;
        } else {
            std::size_t j = i + 1;
            while (j < n && text[j] >= 0x80 && coverage.Has(text[j]))
                ++j;
            if (cd == kNoIconv)
                cd = iconv_open("CP932", kUtf16Host);
            if (cd == kNoIconv) {
                for (std::size_t k = i; k < j; ++k)
                    s.append(missing, 2);
            } else {
                iconv(cd, nullptr, nullptr, nullptr, nullptr);   // a reset of the state cannot fail
                IconvToCp932(cd, text + i, j - i, missing, s);
            }
            i = j;
        }
    }
    if (cd != kNoIconv)
        iconv_close(cd);   // nothing is left to lose
}

CString LoadResString(UINT id)
{
    switch (id) {
    case IDS_TRAY_INBOX: return STR_TRAY_INBOX;
    case IDS_TRAY_OUTBOX: return STR_TRAY_OUTBOX;
    case IDS_TRAY_UNSENT: return STR_TRAY_UNSENT;
    case IDS_TRAY_DRAFT: return STR_TRAY_DRAFT;
    case IDS_TRAY_TRASH: return STR_TRAY_TRASH;
    case IDS_PATH_TRAYLIST: return STR_PATH_TRAYLIST;
    case IDS_PATH_MAILBOX: return STR_PATH_MAILBOX;
    case IDS_PATH_ADDRESSBOOK: return STR_PATH_ADDRESSBOOK;
    default: return CString();
    }
}

}  // namespace platform

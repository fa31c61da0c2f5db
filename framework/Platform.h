// The operating-system services the program uses, one interface for both builds:
// framework/win32/ implements it with the real Windows APIs, framework/posix/
// with a stand-in driven by a machine description (posix/Machine.h).
//
// Every path is a Windows path in Shift_JIS ("C:\out\受信トレイ.mbx"); every
// text that comes back is Shift_JIS. Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/CString.h"
#include "framework/Types.h"

namespace platform {

// ---- Files ---------------------------------------------------------------

using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidFile = -1;

// How a file is opened: one access, optionally create (truncating unless
// noTruncate). Files are always binary here; text translation is CStdioFile's.
enum OpenFlags : unsigned {
    kOpenRead = 0x1,
    kOpenWrite = 0x2,
    kOpenReadWrite = 0x3,
    kOpenCreate = 0x10,       // create, or empty an existing file
    kOpenNoTruncate = 0x20,   // with kOpenCreate: keep an existing file's bytes
    kOpenCreateNew = 0x40,    // with kOpenCreate: fail when anything exists at path
};

// Opens a file. kInvalidFile on failure, with the Windows error code in *error
// (kErrorFileNotFound, kErrorPathNotFound, kErrorAccessDenied, ...; with
// kOpenCreateNew, kErrorAlreadyExists when the path is taken) when error is
// not null.
FileHandle OpenFileHandle(const char* path, unsigned flags, DWORD* error);
// Reads up to count bytes; *done receives how many were read (0 at the end).
// False on a read error.
bool ReadBytes(FileHandle file, void* buffer, UINT count, UINT* done);
// Writes all count bytes; false when not all of them were written.
bool WriteBytes(FileHandle file, const void* buffer, UINT count);
// Moves the file position. origin: 0 begin, 1 current, 2 end. The new
// position goes to *position when not null. False on failure.
bool SeekFile(FileHandle file, std::int64_t offset, int origin, std::uint64_t* position);
// The file's length in bytes; false on failure.
bool GetFileLength(FileHandle file, std::uint64_t* size);
void CloseFile(FileHandle file);
// Writes what the system holds of the file's data to the disk; false when
// that failed.
bool FlushFileToDisk(FileHandle file);
// Sets the last-write time of an open file to an instant in seconds since
// 1970-01-01 00:00 UTC; set it after the last write (a write moves it again).
// False when that failed or the file system cannot hold the instant.
bool SetFileModifiedTime(FileHandle file, std::int64_t seconds);

// What a status query of a path reports.
constexpr BYTE kAttrReadOnly = 0x01;
constexpr BYTE kAttrDirectory = 0x10;
constexpr BYTE kAttrArchive = 0x20;
struct FileStatus {
    std::uint64_t size = 0;
    BYTE attribute = 0;      // kAttr* bits; a plain file has at least kAttrArchive
};
// True when anything, file or folder, exists at path.
bool GetFileStatus(const char* path, FileStatus* status);
// True when a and b name the same file: their full paths are equal without
// regard to case, or both exist and are one file (links, short names).
bool IsSameFile(const char* a, const char* b);
// True when path is folder or lies inside it: their full paths, the part of
// each that exists in its long form with links resolved, compared without
// regard to case, component by component. Neither needs to exist.
bool IsInsideFolder(const char* path, const char* folder);
// Deletes a file; false on failure.
bool RemoveFile(const char* path);
// Gives the closed file at from the name to, in the same folder, in one step:
// an observer sees the file under one name or the other, never both, never
// none. An existing file at to is replaced only when replace is set. 0 on
// success, else the Windows error code (kErrorAlreadyExists when to exists
// and replace is not set).
DWORD MoveFileTo(const char* from, const char* to, bool replace);
// Creates one folder. 0 on success, else the Windows error code
// (kErrorAlreadyExists when something already exists at path,
// kErrorPathNotFound when the parent is missing).
DWORD MakeFolder(const char* path);

// ---- Registry --------------------------------------------------------------

enum RegistryRoot { kHkeyLocalMachine, kHkeyCurrentUser };

// Opens key under root for reading. When it cannot be opened answers false and
// leaves buffer untouched. Otherwise reads the value named valueName (empty name:
// the key's default value) into buffer, at most size bytes, without looking at
// the value's type or at whether the read succeeded (an absent value leaves the
// buffer as it was), closes the key and answers true.
bool ReadRegistryValue(RegistryRoot root, const char* key, const char* valueName,
                       char* buffer, DWORD size);

// ---- Shell folders, system facts -------------------------------------------

// Loads "shfolder.dll" at run time and calls its folder lookup for
// CSIDL_APPDATA into *folder (its result code not examined: a failed lookup
// gives ""). A folder whose name Shift_JIS cannot write comes as its short
// form when it has one. False when the library or the entry point is missing.
bool GetAppDataFolder(CString* folder);
// Platform id of the version record: 1 Windows 95/98/Me, 2 NT family.
int GetPlatformId();

// Local date and time.
struct LocalTime {
    int year = 1970, month = 1, day = 1;
    int dayOfWeek = 4;              // 0 Sunday .. 6 Saturday
    int hour = 0, minute = 0, second = 0;
};
LocalTime LocalClock();
// The instant, in seconds since 1970-01-01 00:00 UTC, of a date and time on
// this machine's local clock (dayOfWeek is not looked at; second may be 60).
// A time that a change to summer time skips or repeats gets one of its
// possible readings. False when it cannot be converted.
bool LocalTimeToUtc(const LocalTime& local, std::int64_t* seconds);

// UTF-16LE text to Shift_JIS (code page 932, whatever the system's code
// page); characters without a Shift_JIS form become "?".
CString Utf16ToSjis(const std::uint16_t* text, std::size_t length);

// ---- Text in other charsets ----------------------------------------------

// A decoder of one charset without shift states into UTF-16, the charset
// named for both builds: by its Windows code page (used on Windows) and by
// the name iconv knows it by (used elsewhere; a name that glibc and macOS's
// libiconv both know). No best fit and no guessing: bytes decode only when
// they are characters of the charset.
class CharsetDecoder {
public:
    CharsetDecoder(unsigned codePage, const char* iconvName);
    ~CharsetDecoder();
    CharsetDecoder(const CharsetDecoder&) = delete;
    CharsetDecoder& operator=(const CharsetDecoder&) = delete;

    // False when this system has no converter for the charset.
    bool IsAvailable() const;
    // Appends the n bytes at text, whole characters of the charset, decoded
    // to out, and answers true; answers false, out as it was, when some of
    // the bytes are no character the converter knows (or it is unavailable).
    // Each call starts afresh: nothing carries over from the last one.
    bool Decode(const char* text, std::size_t n, std::u16string& out);

private:
    std::intptr_t m_handle = -1;   // iconv's descriptor (POSIX); 1 when the code page exists (Windows)
    unsigned m_codePage = 0;
};

// Appends n UTF-16 code units converted to Shift_JIS as code page 932 maps
// them on Windows, without best fit, to out: a code unit that code page 932
// has no code for (among them each surrogate, paired or not) becomes the two
// bytes missing[0], missing[1].
void AppendUtf16AsCp932(const char16_t* text, std::size_t n, const char (&missing)[3], CString& out);

// Appends n UTF-16 code units converted to UTF-8 to out; a surrogate
// without its pair becomes U+FFFD.
void AppendUtf16AsUtf8(const char16_t* text, std::size_t n, std::string& out);

// A string-table resource; empty when the id is unknown.
CString LoadResString(UINT id);

}  // namespace platform

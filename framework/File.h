// CFile: a binary file over the platform's file handle; CStdioFile: the same
// with optional text translation (CR LF <-> LF) and line reading.
//
// Errors are never thrown and never ignored: Open answers false and keeps the
// system error, Read/Write/Seek answer what happened, and a sticky error flag
// (HasError) records any failed read or write since Open.
#pragma once

#include <cstdint>
#include <string>

#include "framework/CString.h"
#include "framework/Platform.h"
#include "framework/Types.h"

// Result of a status query (CFile::GetStatus).
struct CFileStatus {
    std::uint64_t m_size = 0;
    BYTE m_attribute = 0;   // platform::kAttr* bits (kAttrDirectory: a folder)
};

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeNoTruncate = 0x2000,
        modeCreate = 0x1000,
        modeCreateNew = 0x0100,   // with modeCreate: fail when anything exists at the path
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens path with the flags above. False on failure; *error, when given,
    // receives the system error code.
    virtual bool Open(const char* path, UINT flags, DWORD* error = nullptr);
    virtual void Close();
    bool IsOpen() const { return m_hFile != platform::kInvalidFile; }

    // Reads up to count bytes; answers how many (0 at the end or on error).
    UINT Read(void* buffer, UINT count);
    // Writes all count bytes; false (and the error flag) when that failed.
    bool Write(const void* buffer, UINT count);
    // New position, or -1 on failure (and the error flag).
    std::int64_t Seek(std::int64_t offset, int from);
    // Writes what is buffered and has the system put the file's data on the
    // disk. False (and the error flag) when that failed.
    virtual bool Flush();
    void SeekToBegin() { Seek(0, begin); }
    std::int64_t SeekToEnd() { return Seek(0, end); }
    std::uint64_t GetLength() const;
    std::uint64_t GetPosition() const;

    // Sets the file's last-write time to an instant, in seconds since 1970
    // UTC; do it after the last write, which would move it again. False when
    // that failed; the error flag stays as it was (no byte is at stake).
    bool SetModifiedTime(std::int64_t seconds);

    bool HasError() const { return m_bError; }
    const CString& GetFilePath() const { return m_strPath; }

    // True when anything exists at path; fills status.
    static bool GetStatus(const char* path, CFileStatus& status);
    static bool Remove(const char* path);

protected:
    platform::FileHandle m_hFile = platform::kInvalidFile;
    CString m_strPath;
    bool m_bError = false;
};

class CStdioFile : public CFile {
public:
    CStdioFile() = default;
    ~CStdioFile() override;

    bool Open(const char* path, UINT flags, DWORD* error = nullptr) override;
    void Close() override;
    bool Flush() override;

    // Reads the next line into line without its line end (in text mode CR LF
    // and LF end a line; in binary mode LF does and a CR before it stays).
    // False at the end of the file with nothing read.
    bool ReadString(CString& line);
    // Writes text; in text mode every LF is written as CR LF. False on failure.
    bool WriteString(const char* text);

private:
    bool FillBuffer();
    bool FlushWrite();

    bool m_bText = false;
    std::string m_readBuf;
    std::size_t m_readPos = 0;
    bool m_bEof = false;
    std::string m_writeBuf;
};

// Reads the file at path into bytes, at most maxBytes of it (a file that
// shrank while it was read gives what was there). False when it cannot be
// opened or a read fails.
bool ReadWholeFile(const char* path, std::string& bytes, std::uint64_t maxBytes = UINT64_MAX);

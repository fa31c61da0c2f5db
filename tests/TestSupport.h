// Helpers shared by the host tests: a temporary machine whose drive C is a
// fresh host folder, and file access by Windows path.
#pragma once

#include <string>

#include "framework/CString.h"
#include "framework/posix/Machine.h"

class TempMachine {
public:
    // Makes a fresh host folder, maps drive C onto it (and D onto a second one)
    // and installs the machine. The folder is removed on destruction.
    TempMachine();
    ~TempMachine();
    TempMachine(const TempMachine&) = delete;
    TempMachine& operator=(const TempMachine&) = delete;

    PosixMachine& machine() { return m_machine; }
    // Installs machine() again after a test changed it.
    void Apply();

    const std::string& root() const { return m_root; }
    // Host path of a Windows path on this machine.
    std::string Host(const CString& windowsPath) const;
    // Writes bytes to a Windows path, creating its folders.
    void WriteFile(const CString& windowsPath, const std::string& bytes) const;
    // Reads a whole file by Windows path; "<missing>" when it does not exist.
    std::string ReadFile(const CString& windowsPath) const;
    bool Exists(const CString& windowsPath) const;
    void MakeDirs(const CString& windowsPath) const;

private:
    std::string m_root;
    PosixMachine m_machine;
};

// Narrow literals are Shift_JIS in every build with g++; u8"" literals stay
// UTF-8. Utf8 turns one of those into a std::string (host file names).
std::string Utf8(const char8_t* text);

// Host paths on the command line (velmora-convert, vmtool): a machine whose
// drive C is the host root, so that "/tmp/x/受信トレイ" (UTF-8) is
// "C:\tmp\x\受信トレイ" (Shift_JIS) for the program's own file code.
#pragma once

#include <filesystem>
#include <string>

#include "framework/CString.h"
#include "framework/posix/Machine.h"

// The Windows path (Shift_JIS) of a host path (UTF-8), made absolute.
inline CString WindowsPathForHost(const std::string& hostPath)
{
    std::string abs = std::filesystem::absolute(hostPath).lexically_normal().string();
    while (abs.size() > 1 && abs.back() == '/')
        abs.pop_back();
    std::string sjis = Utf8ToSjis(abs);
    for (char& c : sjis) {
        if (c == '/')
            c = '\\';   // '/' (0x2F) is never a Shift_JIS trail byte
    }
    if (sjis == "\\")
        sjis.clear();
    return CString("C:") + CString(sjis);
}

// Installs a machine whose drive C is the host root.
inline void UseHostRootMachine()
{
    PosixMachine machine;
    machine.drives.emplace('C', std::string(1, '/'));
    SetPosixMachine(machine);
}

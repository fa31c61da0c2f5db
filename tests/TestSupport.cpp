#include "tests/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

TempMachine::TempMachine()
{
    std::random_device rd;
    fs::path base = fs::temp_directory_path() / ("velmora-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(base / "c");
    fs::create_directories(base / "d");
    fs::create_directories(base / "c" / "Temp");
    m_root = base.string();
    m_machine.drives['C'] = (base / "c").string();
    m_machine.drives['D'] = (base / "d").string();
    m_machine.appData = "C:\\Users\\u\\AppData\\Roaming";
    Apply();
}

TempMachine::~TempMachine()
{
    std::error_code ec;
    fs::remove_all(m_root, ec);
    SetPosixMachine(PosixMachine());
}

void TempMachine::Apply()
{
    SetPosixMachine(m_machine);
}

std::string TempMachine::Host(const CString& windowsPath) const
{
    return HostPathFor(windowsPath);
}

void TempMachine::WriteFile(const CString& windowsPath, const std::string& bytes) const
{
    fs::path p = Host(windowsPath);
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

std::string TempMachine::ReadFile(const CString& windowsPath) const
{
    std::ifstream in(Host(windowsPath), std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool TempMachine::Exists(const CString& windowsPath) const
{
    return fs::exists(Host(windowsPath));
}

void TempMachine::MakeDirs(const CString& windowsPath) const
{
    fs::create_directories(Host(windowsPath));
}

std::string Utf8(const char8_t* text)
{
    return std::string(reinterpret_cast<const char*>(text));
}

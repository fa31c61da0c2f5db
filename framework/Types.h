// Basic integer and flag types with the Windows names the program uses.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
#ifdef _WIN32
using DWORD = unsigned long;   // 32 bits, and the very type <windows.h> declares
#else
using DWORD = std::uint32_t;
#endif
using UINT = unsigned int;
using BOOL = int;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Wizard result of a Finish (the property sheet's ID_WIZFINISH).
constexpr int kIdWizFinish = 12325;

// Windows system error codes that the program looks at.
constexpr DWORD kErrorFileNotFound = 2;
constexpr DWORD kErrorPathNotFound = 3;
constexpr DWORD kErrorAccessDenied = 5;
constexpr DWORD kErrorFileExists = 80;
constexpr DWORD kErrorAlreadyExists = 183;

// Longest path the ANSI file APIs accept, terminating zero included.
constexpr int kMaxPath = 260;

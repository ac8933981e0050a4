// Basic types and status codes shared by both platform implementations.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#include <msi.h>
#define CA_CALL WINAPI
#else
#define CA_CALL
#endif

namespace platform {

#ifdef _WIN32
using MsiHandle = MSIHANDLE;
#else
using MsiHandle = std::uint32_t;
#endif

// A Win32 error code (UINT for msi.dll, LONG for advapi32; both fit).
using Status = std::uint32_t;

inline constexpr Status kSuccess = 0;
inline constexpr Status kFileNotFound = 2;
inline constexpr Status kPathNotFound = 3;
inline constexpr Status kAccessDenied = 5;
inline constexpr Status kInvalidHandle = 6;
inline constexpr Status kNotEnoughMemory = 8;
inline constexpr Status kNoMoreFiles = 18;
inline constexpr Status kWriteFault = 29;
inline constexpr Status kReadFault = 30;
inline constexpr Status kDiskFull = 112;
inline constexpr Status kInvalidParameter = 87;
inline constexpr Status kMoreData = 234;
inline constexpr Status kNoMoreItems = 259;
inline constexpr Status kFunctionFailed = 1627;
inline constexpr Status kBadQuerySyntax = 1615;

}  // namespace platform

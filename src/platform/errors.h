// Why a system call failed: the Win32 error code the calling thread was
// left with, and the system's text for it.
#pragma once

#include "platform/types.h"

#include <string>

namespace platform {

// Read right after the failing call, before anything else reaches the
// system. GetLastError after a kernel32 call; after a msvcrt call (_mkdir,
// fopen, remove, _chdir, _getcwd, getenv, the stream calls) the errno it
// set, mapped to a Win32 code. Registry and installer calls return their
// code instead.
Status lastError();

// FormatMessage's text for a Win32 code or an HRESULT, without its line
// end; "" when the system has none.
std::string errorText(Status code);

// For a failure the library finds itself, such as a path that would not fit,
// so that whoever reports it reads a code that says why.
void setLastError(Status code);

inline constexpr Status kAlreadyExists = 183;      // ERROR_ALREADY_EXISTS
inline constexpr Status kFileExists = 80;          // ERROR_FILE_EXISTS
inline constexpr Status kDirectoryNotEmpty = 145;  // ERROR_DIR_NOT_EMPTY
inline constexpr Status kEnvironmentNotFound = 203;
inline constexpr Status kFilenameTooLong = 206;    // ERROR_FILENAME_EXCED_RANGE
inline constexpr Status kComFailure = 0x80004005u;  // E_FAIL

}  // namespace platform

// Path helpers shared by every subsystem. Each works on a copy in a 260-byte
// buffer and fails (false) rather than build a path that does not fit.
#pragma once

#include "core/fixed_string.h"

#include <string>

namespace ca {

inline bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Removes one trailing slash or backslash.
template <std::size_t N>
void stripTrailingSeparator(FixedString<N>& path)
{
    const std::size_t len = path.size();
    if (len > 0 && isSeparator(path.c_str()[len - 1])) path.data()[len - 1] = '\0';
}
void stripTrailingSeparator(std::string& path);

// folder (one trailing separator removed) + tail, or false when the folder is
// empty or the result does not fit. An empty folder names no folder: it must
// never turn into a path at the root of the current drive.
bool hostPath(const char* folder, const char* tail, PathBuffer& path);

// The host folder's text\protk.dat can be opened for reading and appending
// (which creates it when only the file is missing).
bool isRegistrationFileWritable(const char* folder);

// The folder holds the host's 64-bit executable, the one test that it is a
// usable host installation. Any attributes count, a folder of that name too.
bool hasHostExecutable(const char* folder);

}  // namespace ca

// Path text in fixed 260-byte buffers.
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
inline void stripTrailingSeparator(std::string& path)
{
    if (!path.empty() && isSeparator(path.back())) path.pop_back();
}

}  // namespace ca

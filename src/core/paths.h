// Path text in fixed 260-byte buffers, walked by characters of the system's
// ANSI code page (core/text.h): a separator is a character of its own, never
// the second byte of one (表 is 0x95 0x5C in code page 932).
#pragma once

#include "core/fixed_string.h"
#include "core/text.h"

#include <string>
#include <string_view>

namespace ca {

inline bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Where the last slash or backslash of the path stands; npos when it has none.
inline std::size_t lastSeparator(std::string_view path)
{
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); i += charLength(path, i))
        if (isSeparator(path[i])) found = i;
    return found;
}

inline bool endsWithSeparator(std::string_view path) { return !path.empty() && lastSeparator(path) == path.size() - 1; }

// The path up to its last separator; the whole path when it has none.
inline std::string_view parentOf(std::string_view path) { return path.substr(0, lastSeparator(path)); }

// Removes one trailing slash or backslash.
template <std::size_t N>
void stripTrailingSeparator(FixedString<N>& path)
{
    const std::size_t len = path.size();
    if (endsWithSeparator(path.view())) path.data()[len - 1] = '\0';
}
inline void stripTrailingSeparator(std::string& path)
{
    if (endsWithSeparator(path)) path.pop_back();
}

}  // namespace ca

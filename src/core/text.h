// Narrow text in the system's ANSI code page, walked by characters: in a
// double-byte code page (932) the second byte of a character may have the
// code of '\' or of an ASCII letter, and is neither. Comparisons are made the
// way the installer's own conditions and the file system make them: ASCII
// letters without regard to case.
#pragma once

#include "platform/code_page.h"

#include <string>
#include <string_view>

namespace ca {

// The length in bytes of the character at text[at]: two for a lead byte with
// a byte after it, as CharNextA steps.
inline std::size_t charLength(std::string_view text, std::size_t at)
{
    return platform::isLeadByte(text[at]) && at + 1 < text.size() ? 2 : 1;
}

constexpr char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The text with the ASCII letters among its characters in lower case.
inline std::string lowerCased(std::string_view text)
{
    std::string lower(text);
    for (std::size_t i = 0; i < lower.size(); i += charLength(lower, i)) lower[i] = lowerAscii(lower[i]);
    return lower;
}

inline bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); i += charLength(prefix, i)) {
        if (charLength(prefix, i) == 2) {
            if (text.substr(i, 2) != prefix.substr(i, 2)) return false;
        } else if (lowerAscii(text[i]) != lowerAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

inline bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && startsWithIgnoringCase(a, b);
}

}  // namespace ca

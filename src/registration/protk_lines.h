// The host's registration file as the host reads it: lines that end at a
// line feed, and the few kinds of line that mark an add-in's entry. Keywords
// in any case, blanks or tabs around words; the value of our name line is
// exactly "Orvella".
#pragma once

#include "platform/files.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace ca {

enum class LineKind {
    other,
    empty,    // nothing but its line end
    end,      // "end": the last line of an entry
    name,     // "name" and another add-in's value: the first line of another entry
    ourName,  // "name Orvella": the first line of ours
};

// The kind of one line, its line end included or not.
LineKind classifyLine(std::string_view line);

// Calls visit(line) for every line of the file from where it stands, each
// with its line end (the last one may have none). Lines are read in 64 KB
// blocks; only a line longer than a block is gathered whole. False on a read
// error.
bool forEachLine(platform::File& file, const std::function<void(std::string_view line)>& visit);

inline constexpr char kCtrlZ = '\x1a';

}  // namespace ca

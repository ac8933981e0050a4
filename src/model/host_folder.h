// A host installation folder and the places in it that the add-in uses.
//
// Every path in the folder is its base followed by a relative name. How the
// base is made from the text that names the folder is the one rule for
// trailing separators, chosen where the text comes from:
//   given     the text and "\": a trailing separator doubles, which the file
//             system accepts (a listed installation's folder property)
//   stripped  the text less one trailing separator, and "\"
// An empty text names no folder and yields no path: never the root of the
// current drive. A path that does not fit 260 bytes is never made.
#pragma once

#include "core/fixed_string.h"
#include "core/session.h"

#include <string>
#include <string_view>

namespace ca {

// The host's machine folder and its object folder, which holds the host's
// modules and receives the add-in's.
inline constexpr std::string_view kMachineFolder = "x86e_win64";
inline constexpr std::string_view kObjectFolder = "x86e_win64\\obj";
inline constexpr std::string_view kHostExecutable = "xtop.exe";  // in the object folder
inline constexpr std::string_view kTextFolder = "text";
inline constexpr std::string_view kRegistrationFile = "text\\protk.dat";
// The add-in's resources for the host's messages in US English.
inline constexpr std::string_view kMessageResources = "text\\usascii\\resource";

class HostFolder {
public:
    static HostFolder given(std::string_view text);
    static HostFolder stripped(std::string_view text);

    // False when the text names no folder or its base does not fit.
    explicit operator bool() const { return valid_; }
    std::string_view text() const { return text_; }
    // Ends in a separator.
    const PathBuffer& base() const { return base_; }

    // base + relative; false, with `path` empty, when there is no folder or
    // the path would not fit.
    bool path(std::string_view relative, PathBuffer& path) const;
    // base + "x86e_win64\obj\" + name.
    bool objectPath(std::string_view name, PathBuffer& path) const;

private:
    HostFolder(std::string_view text, std::string_view base);
    std::string text_;
    PathBuffer base_;
    bool valid_ = false;
};

// The folder holds the host's 64-bit executable, the one test that it is a
// usable host installation. Any attributes count, a folder of that name too.
bool hasHostExecutable(std::string_view folder);
// Why a folder holds no usable host, for the log: "holds no
// x86e_win64\obj\xtop.exe", or that the path to it would not fit.
std::string noHostReason(std::string_view folder);

// The folder's text\protk.dat can be opened for reading and appending as
// bytes, and is not UTF-16 text (or can be created, when only the file is
// missing: it is deleted again). A failure is logged with the path.
bool isRegistrationFileWritable(const Session& session, std::string_view folder);

}  // namespace ca

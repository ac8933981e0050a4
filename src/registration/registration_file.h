// The add-in's entry in a host's registration file text\protk.dat: appended
// with host-relative or absolute paths, and removed again. The file is the
// host's and lists other add-ins too, so removal never loses its content.
#pragma once

#include "core/session.h"

#include <string_view>

namespace ca {

// Appends the entry with $PRO_DIRECTORY paths unless the file already has one.
void addAuxAppEntry(const Session& session, std::string_view folder);

// The same with the folder's absolute paths. Nothing is appended when a path
// line would not fit its 260-byte buffer.
void addCmdAuxAppEntry(const Session& session, std::string_view folder);

// Takes every entry out of the file. Without the host executable, a file left
// with nothing but empty lines is deleted.
void removeAuxAppEntry(const Session& session, std::string_view folder);

}  // namespace ca

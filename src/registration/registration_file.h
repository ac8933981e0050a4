// The add-in's entry in a host's registration file text\protk.dat: appended
// with host-relative or absolute paths, and removed again. The file is the
// host's and lists other add-ins too: it is edited as bytes, and every byte
// that is not part of one of our entries survives every edit.
#pragma once

#include "core/session.h"

#include <string_view>

namespace ca {

// Adds the entry with $PRO_DIRECTORY paths unless the host already sees one.
void addAuxAppEntry(const Session& session, std::string_view folder);

// The same with the folder's absolute paths. Nothing is added when a path
// line would not fit its 260-byte buffer.
void addCmdAuxAppEntry(const Session& session, std::string_view folder);

// Takes every entry of ours out of the file, each with the empty line before
// it. A file left with nothing but line ends is deleted when the folder no
// longer holds a host, or when `fileWasOurs` (it did not exist, or was empty,
// before the add-in first wrote to it).
void removeAuxAppEntry(const Session& session, std::string_view folder, bool fileWasOurs = false);

}  // namespace ca

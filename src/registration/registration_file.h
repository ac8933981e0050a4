// The add-in's entry in a host's registration file text\protk.dat: appended
// with host-relative or absolute paths, and removed again. The file is the
// host's and lists other add-ins too: it is edited as bytes, and every byte
// that is not part of one of our entries survives every edit.
#pragma once

#include "core/session.h"

#include <string_view>

namespace ca {

// Adds the entry with $PRO_DIRECTORY paths unless the host already sees one.
// True when the file holds the entry afterwards; a UTF-16 file is never edited.
bool addAuxAppEntry(const Session& session, std::string_view folder);

// The same with the folder's absolute paths. Nothing is added when a path
// line would not fit its 260-byte buffer.
bool addCmdAuxAppEntry(const Session& session, std::string_view folder);

// True when the folder's protk.dat holds the entry where the host reads it.
// A file that cannot be read is logged and counts as without.
bool holdsAuxAppEntry(const Session& session, std::string_view folder);

// Whose the registration file is, as far as the add-in recorded it.
enum class FileOwner {
    unknown,  // no record: an installation by an earlier version
    host,     // it was there before the add-in first wrote to it
    addIn,    // the add-in created it (or found it empty)
};

// Takes every entry of ours out of the file, each with the empty line before
// it when that is as an append writes it. A file left with nothing but line
// ends is deleted when it was the add-in's, or, without a record, when the
// folder no longer holds a host. True when no entry of ours is left (taken
// out now, none there, no file); false when the file could not be read,
// replaced or deleted as needed: the entry stays, and the failure is logged.
bool removeAuxAppEntry(const Session& session, std::string_view folder, FileOwner owner = FileOwner::unknown);

}  // namespace ca

// Copying the add-in's staged files into host installations.
#pragma once

#include "core/fixed_string.h"
#include "core/session.h"
#include "model/host_folder.h"
#include "model/manifest.h"
#include "model/release_table.h"

#include <string_view>

namespace ca {

// The staging area: ALLUSERSPROFILE from the environment followed by "\".
// False, and logged, when it is unset or empty (it then names no folder), or too long.
bool stagingFolder(const Session& session, PathBuffer& folder);

// Copies the add-in into one host folder as the manifest lays it out, with
// the build for `code` (none for a folder of no known release). Registration
// is the caller's. Every copy overwrites; a copy that fails is passed over
// and logged; one line counts what was copied and created.
// False when nothing could be tried: no host folder, no staging area, or an
// object folder whose path does not fit.
bool deployToInstallation(const Session& session, const HostFolder& host, ReleaseCode code);

// Creates `destination` (one level) and copies the files, not the
// subfolders, of `source` into it. False when the source cannot be listed or
// the listing broke off. `host` names the host folder it lies in, if any.
bool copyFolderFiles(const Session& session, std::string_view source, std::string_view destination,
                     std::string_view host = {});

// The add-in's resources (the files of `source`) into the host's
// text\usascii\resource.
void copyResources(const Session& session, std::string_view source, const HostFolder& host);

// The version 9.0 runtime folder into the object folder of a Wildfire 5.0
// folder that has no host executable; nothing where it has one.
void stageRuntime(const Session& session, const RuntimeFolder& runtime, std::string_view wildfire5Folder);

// The module from a release build's staging folder into the host's object
// folder, replacing one that is there. True when it was copied.
bool copyModule(const Session& session, std::string_view buildFolder, const HostFolder& host);

}  // namespace ca

// Copying the add-in's staged files into host installations. Everything goes
// through a HostWrite: recorded in the host's footprint before it is written.
#pragma once

#include "core/fixed_string.h"
#include "core/session.h"
#include "deployment/host_write.h"
#include "model/host_folder.h"
#include "model/manifest.h"
#include "model/release_table.h"

#include <string_view>

namespace ca {

// The staging area: ALLUSERSPROFILE from the environment followed by "\".
// False, and logged, when it is unset or empty (it then names no folder), or too long.
bool stagingFolder(const Session& session, PathBuffer& folder);

// Copies the add-in into one host folder as `manifest` lays it out, with the
// build for `code` (none for a folder of no known release). Registration is
// the caller's. Every copy overwrites; a host file is backed up first; what
// fails is logged and published in ORVELLA_INSTALL_ERROR. False when nothing
// could be tried: no host folder, no staging area, or an object folder whose
// path does not fit.
bool deployToInstallation(const Session& session, const HostFolder& host, ReleaseCode code, Manifest manifest,
                          SourceDigests& digests);

// The add-in's resources (the files of `source`) into the host's
// text\usascii\resource.
bool copyResources(const Session& session, std::string_view source, const HostFolder& host, SourceDigests& digests);

// The version 9.0 runtime folder into the object folder of a Wildfire 5.0
// folder that has no host executable; nothing where it has one.
bool stageRuntime(const Session& session, const RuntimeFolder& runtime, std::string_view wildfire5Folder,
                  SourceDigests& digests);

// The module from a release build's staging folder into the host's object
// folder, replacing one that is there.
bool copyModule(const Session& session, std::string_view buildFolder, const HostFolder& host, SourceDigests& digests);

// The add-in's entry in the folder's protk.dat, recorded before the caller adds it.
bool recordEntryAhead(const Session& session, std::string_view folder);

}  // namespace ca

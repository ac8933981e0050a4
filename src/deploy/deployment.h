// Deployment of the staged add-in files into the ticked listed installations,
// and the folder copies that deployment and the resource action share.
#pragma once

#include "core/fixed_string.h"
#include "core/release_table.h"
#include "platform/types.h"

#include <string>

namespace ca {

// The staging area: ALLUSERSPROFILE from the environment followed by "\".
// False when it is unset or empty (it then names no folder), or too long.
bool stagingFolder(PathBuffer& folder);

// Deploys into every ticked listed installation, then records their folders.
unsigned deploySelectedCustomInstalls(platform::MsiHandle session);

// Copies the add-in into one host folder and registers it there.
bool deployToInstallation(std::string folder, ReleaseCode code);

// Copies the files (not the subfolders) of `source` into `destination`. False
// when the source cannot be listed or the listing broke off.
bool copyFileSet(std::string source, std::string destination);

// Copies the files of `source` into host + "\text\usascii\resource", creating
// that folder. 0 on success, 3 on failure.
int copyResourceFolder(const char* source, const char* host);

}  // namespace ca

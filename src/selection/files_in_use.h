// Files of the add-in that a running host holds open: a warning before the
// installation, never a stop. FILESINUSE names each chosen host folder in
// which a file the add-in would replace or delete is in use, "; " between
// them; the installation itself replaces or deletes such files at the next
// restart.
#pragma once

#include "core/session.h"
#include "model/listed_installations.h"

#include <string_view>

namespace ca {

inline constexpr const char* kFilesInUseProperty = "FILESINUSE";

// Some file of the add-in's places in `folder` is in use (logged with the
// first such file and how many more).
bool hasFilesInUse(const Session& session, std::string_view folder);

// FILESINUSE for the release slots and the browsed slot: emptied, then
// each chosen one's folder whose files are in use.
void publishReleaseFilesInUse(const Session& session);
// Adds the chosen listed installations' folders whose files are in use to
// what FILESINUSE holds; a folder named there already is not named twice.
void addListedFilesInUse(const Session& session, const ListedInstallations& listed);

}  // namespace ca

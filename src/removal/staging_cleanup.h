// Emptying the staging area once the installation has copied from it.
#pragma once

#include "core/session.h"
#include "model/manifest.h"

#include <string_view>

namespace ca {

// Empties the staging area (the folder ALLUSERSPROFILE names) of what
// `manifest` staged, as far as the package does not keep it.
void clearStagingArea(const Session& session, std::string_view staging, Manifest manifest);

}  // namespace ca

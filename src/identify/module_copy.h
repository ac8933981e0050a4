// The add-in module for the browsed installation, in the build for its release.
#pragma once

#include "platform/types.h"

namespace ca {

// Copies orvbridge.dll from the staging folder for the folder's release into
// its x86e_win64\obj. On a command-line installation the release comes from
// PROEM1VER and `folder` must be PROEM1DIR. True when the module was copied.
bool copyModuleToBrowsedInstallation(platform::MsiHandle session, const char* folder);

}  // namespace ca

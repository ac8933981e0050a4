// Files placed into the folders of the fixed release slots: the version 9.0
// runtime for a Wildfire 5.0 folder without the host executable, and the
// add-in's resources (the export copyCMDresourcetoUSASCII).
#pragma once

#include "platform/types.h"

namespace ca {

// Records the fixed-slot folders, then stages Microsoft.VC90.CRT.
unsigned stageCrtRuntime(platform::MsiHandle session);

// Stages Microsoft.VC90.MFC; records nothing.
unsigned stageMfcRuntime(platform::MsiHandle session);

}  // namespace ca

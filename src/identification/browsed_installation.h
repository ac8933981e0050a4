// A folder that the user browsed to, added to the dialog as one more ticked
// check box.
#pragma once

#include "core/session.h"
#include "identification/release_identification.h"

#include <string_view>

namespace ca {

// Adds `folder` (one trailing separator removed) to the first free listed
// slot, labelled by `family` and what its installation log says. Nothing is
// added for an empty folder, one that a slot already holds, or when every
// slot is taken.
void addBrowsedInstallation(const Session& session, const ReleaseIdentifier& identifier, Family family,
                            std::string_view folder);

}  // namespace ca

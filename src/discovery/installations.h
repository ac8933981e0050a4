// The host installations on this machine, found in the registry: one per
// release for the release slots, and every one for the check-box list.
#pragma once

#include "core/session.h"
#include "model/release_table.h"

#include <functional>
#include <string_view>

namespace ca {

// For each registry location of a release (in scan order) that lists a
// usable installation: its slot, and the folder and DatecodeLabel of the last
// one found. A release's own buffers carry over between its locations, so a
// release found in either view of the registry is reported for both.
void forEachInstalledRelease(
    const Session& session,
    const std::function<void(const ReleaseSlot& slot, std::string_view folder, std::string_view label)>& visit);

// Every usable installation, release by release in scan order and, within a
// release location, in the order of their DatecodeLabels. Two installations
// of one location with the same label are one: the first enumerated. Both
// log what the registry scan found and passed over.
void forEachInstallation(
    const Session& session,
    const std::function<void(const ReleaseSlot& slot, std::string_view label, std::string_view folder)>& visit);

}  // namespace ca

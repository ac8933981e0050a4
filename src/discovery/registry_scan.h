// The host installations that the registry lists, release by release.
#pragma once

#include "core/fixed_string.h"
#include "model/release_table.h"
#include "platform/registry.h"

#include <map>
#include <string>
#include <string_view>

namespace ca {

// DatecodeLabel -> installation folder; byte-wise key order, first insert wins.
using InstallationMap = std::map<std::string, std::string>;

// Opens each release's registry key in the order of kReleaseLocations and
// calls visit(slot, releaseKey). Discovery only reads, so the keys are opened
// for reading: a standard user sees the installed hosts too. Pro/ENGINEER's
// parent key is opened once for its five releases.
template <typename Visit>
void forEachReleaseKey(Visit visit);

// Walks the installation subkeys of an open release key of `family` (which
// names the folder value). Every usable installation goes into `map`;
// `folder` and `label` end with the last one found. True when `folder` holds
// a folder afterwards.
bool scanReleaseKey(const platform::RegKey& releaseKey, Family family, PathBuffer& folder, PathBuffer& label,
                    InstallationMap& map);

// The folder value and "DateCode" of one installation subkey.
bool readInstallValues(const platform::RegKey& installation, Family family, PathBuffer& datecode, PathBuffer& folder);

// "Shipcode", or "DateCode" when there is none; `shipcode` arrives zero-filled.
bool readShipcode(const platform::RegKey& installation, PathBuffer& shipcode);

// "(Datecode: " + shipcode + ")", or false when it would not fit.
bool buildDatecodeLabel(std::string_view shipcode, PathBuffer& label);

template <typename Visit>
void forEachReleaseKey(Visit visit)
{
    const char* openName = nullptr;
    platform::RegKey parent;
    for (const ReleaseLocation& location : kReleaseLocations) {
        if (openName == nullptr || std::string_view(openName) != location.parentKey) {
            openName = location.parentKey;
            if (platform::regOpenKey(nullptr, openName, platform::kKeyRead, parent) != platform::kSuccess) parent.reset();
        }
        if (!parent) continue;
        const ReleaseSlot& slot = releaseSlot(location.slot);
        platform::RegKey releaseKey;
        if (platform::regOpenKey(&parent, slot.releaseSubkey, platform::kKeyRead, releaseKey) == platform::kSuccess)
            visit(slot, releaseKey);
    }
}

}  // namespace ca

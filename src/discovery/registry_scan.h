// The host installations that the registry lists, release by release.
#pragma once

#include "core/fixed_string.h"
#include "core/log.h"
#include "core/session.h"
#include "model/release_table.h"
#include "platform/registry.h"

#include <map>
#include <string>
#include <string_view>

namespace ca {

// DatecodeLabel -> installation folder; byte-wise key order, first insert wins.
using InstallationMap = std::map<std::string, std::string>;

// A release key as the log names it: its release and its path below HKLM.
struct ReleaseKeyName {
    std::string_view release;  // "Wildfire 4.0"
    std::string key;           // "SOFTWARE\\PTC\\Pro/ENGINEER\\Wildfire 4.0"
};

// Opens each release's registry key in the order of kReleaseLocations and
// calls visit(slot, releaseKey, name). Discovery only reads, so the keys are
// opened for reading: a standard user sees the installed hosts too.
// Pro/ENGINEER's parent key is opened once for its five releases. A key
// that is not there is logged once, and any other failure to open one.
template <typename Visit>
void forEachReleaseKey(const Session& session, Visit visit);

// Walks the installation subkeys of an open release key, reading each one's
// folder from `folderValue` (the release slot's). Every usable installation
// goes into `map`; `folder` and `label` end with the last one found. True
// when `folder` holds a folder afterwards. Each installation found, and each
// one passed over with the reason (a failed registry call too), is logged,
// the first 16 of a key one by one and the rest counted.
bool scanReleaseKey(const Session& session, const platform::RegKey& releaseKey, const char* folderValue,
                    const ReleaseKeyName& name, PathBuffer& folder, PathBuffer& label, InstallationMap& map);

// "(Datecode: " + shipcode + ")", or false when it would not fit.
bool buildDatecodeLabel(std::string_view shipcode, PathBuffer& label);

// Logs a release key that could not be opened: absent, or a failure.
void logUnopenedKey(const Session& session, platform::Status status, std::string_view key, std::string_view what);

template <typename Visit>
void forEachReleaseKey(const Session& session, Visit visit)
{
    const char* openName = nullptr;
    platform::RegKey parent;
    for (const ReleaseLocation& location : kReleaseLocations) {
        if (openName == nullptr || std::string_view(openName) != location.parentKey) {
            openName = location.parentKey;
            const platform::Status status = platform::regOpenKey(nullptr, openName, platform::kKeyRead, parent);
            if (status != platform::kSuccess) {
                parent.reset();
                logUnopenedKey(session, status, openName, "no release of it is registered");
            }
        }
        if (!parent) continue;
        const ReleaseSlot& slot = releaseSlot(location.slot);
        const ReleaseKeyName name{slot.release, std::string(location.parentKey) + "\\" + slot.releaseSubkey};
        platform::RegKey releaseKey;
        const platform::Status status = platform::regOpenKey(&parent, slot.releaseSubkey, platform::kKeyRead, releaseKey);
        if (status == platform::kSuccess)
            visit(slot, releaseKey, name);
        else
            logUnopenedKey(session, status, name.key, concat(slot.release, " is not registered there"));
    }
}

}  // namespace ca

// The eight check-box slots of the destination dialog, each naming the three
// installer properties of one listed installation.
#pragma once

#include "core/fixed_string.h"
#include "core/properties.h"
#include "core/state.h"
#include "platform/types.h"

#include <optional>
#include <string>

namespace ca {

// Appends the eight slots, none in use. It does not clear the list first: a
// second build in one action leaves every slot twice, and what callers do per
// slot is safe to repeat.
void initCustomInstallList();

// Marks the slots whose folder property is set and counts them. False as soon
// as a slot's folder equals `candidate` (later slots are then not examined).
bool markUsedCustomSlots(platform::MsiHandle session, const std::string& candidate);

// A copy of the first slot not in use, or nothing when all are taken.
std::optional<CustomInstallEntry> firstFreeCustomEntry();

// Stores the entry's label, check property, first spare field and inUse into
// the first slot with the same label property; the folder property stays.
void updateCustomEntry(const CustomInstallEntry& entry);

// Builds the list, marks its used slots, then calls visit(entry, folder,
// chosen) for each entry in list order with the entry's folder property and
// whether its check box is exactly "1"; a visit that returns false ends the walk.
template <typename Visit>
void visitListedInstallations(platform::MsiHandle session, Visit visit)
{
    initCustomInstallList();
    markUsedCustomSlots(session, "");
    // By index and by copy: a visit may build the list again, which appends to it.
    for (std::size_t i = 0; i < processState().customInstallList.size(); ++i) {
        const CustomInstallEntry entry = processState().customInstallList[i];
        PathBuffer folder;
        PathBuffer check;
        readProperty(session, entry.dirProperty.c_str(), folder);
        readProperty(session, entry.checkProperty.c_str(), check);
        if (!visit(entry, folder, check == "1")) return;
    }
}

}  // namespace ca

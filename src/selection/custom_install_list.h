// The eight check-box slots of the destination dialog, each naming the three
// installer properties of one listed installation.
#pragma once

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
bool markUsedCustomSlots(pf::MsiHandle session, const std::string& candidate);

// A copy of the first slot not in use, or nothing when all are taken.
std::optional<CustomInstallEntry> firstFreeCustomEntry();

// Stores the entry's label, check property, first spare field and inUse into
// the first slot with the same label property; the folder property stays.
void updateCustomEntry(const CustomInstallEntry& entry);

}  // namespace ca

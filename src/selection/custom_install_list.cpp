#include "selection/custom_install_list.h"

#include "core/properties.h"
#include "core/release_table.h"

namespace ca {

void initCustomInstallList()
{
    CustomInstallList& list = processState().customInstallList;
    for (const CustomSlotNames& names : kCustomSlots)
        list.push_back(CustomInstallEntry{{}, names.labelProperty, names.checkProperty, names.dirProperty, {}, false});
}

bool markUsedCustomSlots(platform::MsiHandle session, const std::string& candidate)
{
    for (const CustomSlotNames& names : kCustomSlots) {
        PathBuffer folder;
        readProperty(session, names.dirProperty, folder);
        if (folder.empty()) continue;
        if (folder == candidate) return false;
        updateCustomEntry(CustomInstallEntry{{}, names.labelProperty, names.checkProperty, {}, {}, true});
        ++processState().usedCustomSlotCount;
    }
    return true;
}

std::optional<CustomInstallEntry> firstFreeCustomEntry()
{
    for (const CustomInstallEntry& entry : processState().customInstallList)
        if (!entry.inUse) return entry;
    return std::nullopt;
}

void updateCustomEntry(const CustomInstallEntry& entry)
{
    for (CustomInstallEntry& slot : processState().customInstallList) {
        if (slot.labelProperty != entry.labelProperty) continue;
        slot.spare1 = entry.spare1;
        slot.checkProperty = entry.checkProperty;
        slot.inUse = entry.inUse;
        return;
    }
}

}  // namespace ca

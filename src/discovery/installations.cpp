#include "discovery/installations.h"

#include "discovery/registry_scan.h"

#include <array>

namespace ca {

void forEachInstalledRelease(
    const std::function<void(const ReleaseSlot& slot, std::string_view folder, std::string_view label)>& visit)
{
    struct ScanBuffers {
        PathBuffer folder;
        PathBuffer label;
    };
    std::array<ScanBuffers, kReleaseSlots.size()> buffers;
    forEachReleaseKey([&](const ReleaseSlot& slot, const platform::RegKey& releaseKey) {
        ScanBuffers& found = buffers[static_cast<std::size_t>(slot.slot)];
        InstallationMap notListed;
        if (scanReleaseKey(releaseKey, slot.family, found.folder, found.label, notListed))
            visit(slot, found.folder.view(), found.label.view());
    });
}

void forEachInstallation(
    const std::function<void(const ReleaseSlot& slot, std::string_view label, std::string_view folder)>& visit)
{
    PathBuffer folder;
    PathBuffer label;
    forEachReleaseKey([&](const ReleaseSlot& slot, const platform::RegKey& releaseKey) {
        InstallationMap installations;
        scanReleaseKey(releaseKey, slot.family, folder, label, installations);
        for (const auto& [datecodeLabel, installFolder] : installations) visit(slot, datecodeLabel, installFolder);
    });
}

}  // namespace ca

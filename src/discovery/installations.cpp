#include "discovery/installations.h"

#include "discovery/registry_scan.h"

#include <array>

namespace ca {

void forEachInstalledRelease(
    const Session& session,
    const std::function<void(const ReleaseSlot& slot, std::string_view folder, std::string_view label)>& visit)
{
    struct ScanBuffers {
        PathBuffer folder;
        PathBuffer label;
    };
    std::array<ScanBuffers, kReleaseSlots.size()> buffers;
    forEachReleaseKey(session, [&](const ReleaseSlot& slot, const platform::RegKey& releaseKey, const ReleaseKeyName& name) {
        ScanBuffers& found = buffers[static_cast<std::size_t>(slot.slot)];
        InstallationMap notListed;
        if (scanReleaseKey(session, releaseKey, slot.folderValue, name, found.folder, found.label, notListed))
            visit(slot, found.folder.view(), found.label.view());
    });
}

void forEachInstallation(
    const Session& session,
    const std::function<void(const ReleaseSlot& slot, std::string_view label, std::string_view folder)>& visit)
{
    PathBuffer folder;
    PathBuffer label;
    forEachReleaseKey(session, [&](const ReleaseSlot& slot, const platform::RegKey& releaseKey, const ReleaseKeyName& name) {
        InstallationMap installations;
        scanReleaseKey(session, releaseKey, slot.folderValue, name, folder, label, installations);
        for (const auto& [datecodeLabel, installFolder] : installations) visit(slot, datecodeLabel, installFolder);
    });
}

}  // namespace ca

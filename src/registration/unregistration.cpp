// cleanupProEAuxAppInFile: the listed installations are found through their
// records, the release slots and the browsed slot through their properties.
#include "registration/unregistration.h"

#include "core/boundary.h"
#include "core/properties.h"
#include "core/release_table.h"
#include "core/state.h"
#include "deploy/product_records.h"
#include "platform/registry.h"
#include "registration/registration_file.h"
#include "removal/deployed_files.h"
#include "selection/custom_install_list.h"

namespace ca {

void cleanupCustomInstalls(platform::MsiHandle session)
{
    initCustomInstallList();
    markUsedCustomSlots(session, "");
    const CustomInstallList& list = processState().customInstallList;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string dirProperty = list[i].dirProperty;
        PathBuffer folder;
        {
            platform::RegKey key;
            if (platform::regOpenKey(nullptr, kProductKey, platform::kKeyQueryValue, key) != platform::kSuccess) continue;
            if (!readProductRecord(key, dirProperty.c_str(), folder)) continue;
        }
        removeDeployedFiles(folder.str());
    }
    // Every recorded installation is cleaned before any record goes.
    for (const CustomSlotNames& slot : kCustomSlots)
        if (productRecordExists(slot.dirProperty)) deleteProductRecord(slot.dirProperty);
}

namespace {

void unregisterFolderOf(platform::MsiHandle session, const char* folderProperty)
{
    PathBuffer folder;
    readProperty(session, folderProperty, folder);
    if (!folder.empty()) removeAuxAppEntry(folder.c_str());
}

unsigned cleanupProEAuxAppInFileBody(platform::MsiHandle session)
{
    cleanupCustomInstalls(session);
    // Every release slot whose folder is known is cleaned, chosen or not.
    for (const Slot slot : {Slot::creo1, Slot::creo2, Slot::proeWf5, Slot::proeWf4, Slot::proeWf3, Slot::proeWf2,
                            Slot::proeWf1})
        unregisterFolderOf(session, releaseSlot(slot).folderProperty);
    unregisterFolderOf(session, kBrowsedFolderProperty);
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(cleanupProEAuxAppInFile, ca::cleanupProEAuxAppInFileBody)

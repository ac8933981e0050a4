// cleanupProEAuxAppInFile: on removal, takes the add-in out of every host
// installation it may have reached. The listed installations are found
// through their records, the release slots and the browsed slot through
// their properties.
#include "core/boundary.h"
#include "model/release_table.h"
#include "records/product_records.h"
#include "registration/registration_file.h"
#include "removal/deployed_files.h"

namespace ca {
namespace {

// Every recorded listed installation is cleaned before any record goes, so
// that a failure half-way leaves the rest findable by the next removal.
void removeListedInstallations(const Session& session)
{
    for (const CustomSlotNames& slot : kCustomSlots) {
        PathBuffer folder;
        if (!readProductRecord(slot.dirProperty, folder)) continue;
        removeDeployedFiles(session, folder.view(),
                            [&session](std::string_view base) { removeAuxAppEntry(session, base); });
    }
    for (const CustomSlotNames& slot : kCustomSlots)
        if (productRecordExists(slot.dirProperty)) deleteProductRecord(slot.dirProperty);
}

void unregisterFolderOf(const Session& session, const char* folderProperty)
{
    PathBuffer folder;
    session.read(folderProperty, folder);
    if (!folder.empty()) removeAuxAppEntry(session, folder.view());
}

unsigned cleanupProEAuxAppInFile(const Session& session)
{
    removeListedInstallations(session);
    // Every release slot whose folder is known is cleaned, chosen or not.
    for (const Slot slot : kRecordOrder) unregisterFolderOf(session, releaseSlot(slot).folderProperty);
    unregisterFolderOf(session, kBrowsedFolderProperty);
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(cleanupProEAuxAppInFile, ca::cleanupProEAuxAppInFile)

// addProEAuxAppInFile and addCMDEntriesInProtFile: register the add-in in the
// registration file of every chosen release slot. Listed installations are
// registered by the deployment instead.
#include "core/boundary.h"
#include "core/properties.h"
#include "core/release_table.h"
#include "registration/registration_file.h"

namespace ca {
namespace {

// A release slot is chosen when its check box is exactly "1" and its folder is known.
void registerChosenSlot(platform::MsiHandle session, const ReleaseSlot& slot, void (*append)(const char*))
{
    if (!propertyEquals(session, slot.name, "1")) return;
    PathBuffer folder;
    readProperty(session, slot.folderProperty, folder);
    if (!folder.empty()) append(folder.c_str());
}

unsigned addProEAuxAppInFileBody(platform::MsiHandle session)
{
    for (const Slot slot : {Slot::creo1, Slot::creo2, Slot::proeWf5, Slot::proeWf4, Slot::proeWf3, Slot::proeWf2,
                            Slot::proeWf1})
        registerChosenSlot(session, releaseSlot(slot), addAuxAppEntry);

    PathBuffer folder;
    readProperty(session, kBrowsedFolderProperty, folder);
    if (!folder.empty() && propertyEquals(session, kBrowsedSlot, "1")) addAuxAppEntry(folder.c_str());
    return 0;
}

unsigned addCMDEntriesInProtFileBody(platform::MsiHandle session)
{
    for (const Slot slot : {Slot::proeWf1, Slot::proeWf2, Slot::proeWf3, Slot::proeWf4, Slot::proeWf5, Slot::creo1,
                            Slot::creo2})
        registerChosenSlot(session, releaseSlot(slot), addCmdAuxAppEntry);
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(addProEAuxAppInFile, ca::addProEAuxAppInFileBody)
CA_EXPORT_ACTION(addCMDEntriesInProtFile, ca::addCMDEntriesInProtFileBody)

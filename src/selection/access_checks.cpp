// checkProTKAccess and checkProEFolderAccessRights: report the first chosen
// host whose registration file cannot be opened for appending, before
// registration finds out silently.
#include "core/boundary.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/release_table.h"
#include "core/state.h"
#include "selection/custom_install_list.h"

namespace ca {
namespace {

unsigned checkProTKAccessBody(platform::MsiHandle session)
{
    setProperty(session, "PROTK_WRITE", "");
    PathBuffer folder;
    for (Slot slot :
         {Slot::creo2, Slot::creo1, Slot::proeWf5, Slot::proeWf4, Slot::proeWf3, Slot::proeWf2, Slot::proeWf1}) {
        const ReleaseSlot& release = releaseSlot(slot);
        if (!propertyEquals(session, release.name, "1")) continue;
        readProperty(session, release.folderProperty, folder);
        if (folder.empty() || isRegistrationFileWritable(folder.c_str())) continue;
        setProperty(session, "PROTK_WRITE", "NO");
        setProperty(session, "TEMPPROEDIR", folder.view());
        return 0;
    }

    // The browsed slot's folder is tested whether or not its box is ticked.
    readProperty(session, kBrowsedFolderProperty, folder);
    if (!folder.empty() && !isRegistrationFileWritable(folder.c_str())) {
        setProperty(session, "PROTK_WRITE", "NO");
        setProperty(session, "TEMPPROEDIR", folder.view());
    }
    return 0;
}

unsigned checkProEFolderAccessRightsBody(platform::MsiHandle session)
{
    visitListedInstallations(session, [session](const CustomInstallEntry&, const PathBuffer& folder, bool chosen) {
        if (!chosen || folder.empty() || isRegistrationFileWritable(folder.c_str())) return true;
        setProperty(session, "PROTK_WRITE", "NO");
        return false;
    });
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(checkProTKAccess, ca::checkProTKAccessBody)
CA_EXPORT_ACTION(checkProEFolderAccessRights, ca::checkProEFolderAccessRightsBody)

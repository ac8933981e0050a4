// addProEAuxAppInFile: registers the add-in, with host-relative paths, in
// the registration file of every chosen release slot and of the browsed
// slot. Listed installations are registered by the deployment instead.
#include "core/boundary.h"
#include "model/release_table.h"
#include "registration/registration_file.h"

namespace ca {
namespace {

unsigned addProEAuxAppInFile(const Session& session)
{
    for (const Slot slot : kRecordOrder) {
        const ReleaseSlot& release = releaseSlot(slot);
        if (!session.equals(release.name, "1")) continue;
        PathBuffer folder;
        session.read(release.folderProperty, folder);
        if (!folder.empty()) addAuxAppEntry(session, folder.view());
    }
    PathBuffer browsed;
    session.read(kBrowsedFolderProperty, browsed);
    if (!browsed.empty() && session.equals(kBrowsedSlot, "1")) addAuxAppEntry(session, browsed.view());
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(addProEAuxAppInFile, ca::addProEAuxAppInFile)

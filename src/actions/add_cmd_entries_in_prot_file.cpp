// addCMDEntriesInProtFile: registers the add-in, with absolute paths, in the
// registration file of every chosen release slot. The browsed slot and the
// listed installations are not registered here.
#include "core/boundary.h"
#include "model/release_table.h"
#include "registration/registration_file.h"

namespace ca {
namespace {

unsigned addCMDEntriesInProtFile(const Session& session)
{
    for (const Slot slot : kOldestFirst) {
        const ReleaseSlot& release = releaseSlot(slot);
        if (!session.equals(release.name, "1")) continue;
        PathBuffer folder;
        session.read(release.folderProperty, folder);
        if (!folder.empty()) addCmdAuxAppEntry(session, folder.view());
    }
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(addCMDEntriesInProtFile, ca::addCMDEntriesInProtFile)

// addCMDEntriesInProtFile: registers the add-in, with absolute paths, in the
// registration file of every chosen release slot. The browsed slot and the
// listed installations are not registered here.
#include "core/boundary.h"
#include "core/log.h"
#include "core/outcome.h"
#include "deployment/deploy.h"
#include "model/chosen_releases.h"
#include "model/host_failure.h"
#include "records/earlier_version.h"
#include "registration/registration_file.h"

namespace ca {
namespace {

unsigned addCMDEntriesInProtFile(const Session& session)
{
    logChosenReleaseFolders(session, kOldestFirst);
    const auto registered = [&session](std::string_view folder) { return holdsAuxAppEntry(session, folder); };
    if (!adoptEarlierVersion(session, addInManifest(), Moment::installing, registered)) return 0;
    forEachChosenRelease(session, kOldestFirst, [&session](const ReleaseSlot& slot, const FolderProperty& folder) {
        if (folder.tooLong()) return reportFolderTooLong(session, folder, slot.release), true;
        // The entry goes into the host's footprint before it goes into protk.dat.
        if (recordEntryAhead(session, folder.folder.view()) && !addCmdAuxAppEntry(session, folder.folder.view()))
            reportRegistrationFailure(session, kInstallErrorProperty, folder.folder.view());
        return true;
    });
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(addCMDEntriesInProtFile, ca::addCMDEntriesInProtFile)

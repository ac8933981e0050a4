// addCMDEntriesInProtFile: registers the add-in, with absolute paths, in the
// registration file of every chosen release slot. The browsed slot and the
// listed installations are not registered here.
#include "core/boundary.h"
#include "core/log.h"
#include "core/outcome.h"
#include "model/chosen_releases.h"
#include "model/host_failure.h"
#include "records/product_records.h"
#include "registration/registration_file.h"

namespace ca {
namespace {

unsigned addCMDEntriesInProtFile(const Session& session)
{
    logChosenReleaseFolders(session, kOldestFirst);
    forEachChosenRelease(session, kOldestFirst, [&session](const ReleaseSlot& slot, const FolderProperty& folder) {
        if (folder.tooLong()) {
            reportFolderTooLong(session, folder, slot.release);
            return true;
        }
        recordHostSurvey(session, folder.folder.view());
        if (!addCmdAuxAppEntry(session, folder.folder.view()))
            reportRegistrationFailure(session, kInstallErrorProperty, folder.folder.view());
        return true;
    });
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(addCMDEntriesInProtFile, ca::addCMDEntriesInProtFile)

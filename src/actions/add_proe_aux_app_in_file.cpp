// addProEAuxAppInFile: registers the add-in, with host-relative paths, in
// the registration file of every chosen release slot and of the browsed
// slot. Listed installations are registered by the deployment instead.
#include "core/boundary.h"
#include "core/log.h"
#include "core/outcome.h"
#include "model/chosen_releases.h"
#include "model/host_failure.h"
#include "records/product_records.h"
#include "registration/registration_file.h"

namespace ca {
namespace {

unsigned addProEAuxAppInFile(const Session& session)
{
    logProperties(session, {kBrowsedSlot, kBrowsedFolderProperty});
    logChosenReleaseFolders(session, kRecordOrder);
    forEachChosenRelease(session, kRecordOrder, [&session](const ReleaseSlot& slot, const FolderProperty& folder) {
        if (folder.tooLong()) {
            reportFolderTooLong(session, folder, slot.release);
            return true;
        }
        recordHostSurvey(session, folder.folder.view());
        if (!addAuxAppEntry(session, folder.folder.view()))
            reportRegistrationFailure(session, kInstallErrorProperty, folder.folder.view());
        return true;
    });
    const FolderProperty browsed = readFolderProperty(session, kBrowsedFolderProperty);
    if (!session.equals(kBrowsedSlot, "1")) return 0;
    if (browsed.tooLong()) {
        reportFolderTooLong(session, browsed, "the browsed folder");
    } else if (!browsed.folder.empty()) {
        recordHostSurvey(session, browsed.folder.view());
        if (!addAuxAppEntry(session, browsed.folder.view()))
            reportRegistrationFailure(session, kInstallErrorProperty, browsed.folder.view());
    }
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(addProEAuxAppInFile, ca::addProEAuxAppInFile)

// addProEAuxAppInFile: registers the add-in, with host-relative paths, in
// the registration file of every chosen release slot and of the browsed
// slot. Listed installations are registered by the deployment instead.
#include "core/boundary.h"
#include "core/outcome.h"
#include "model/host_failure.h"
#include "core/log.h"
#include "model/chosen_releases.h"
#include "records/product_records.h"
#include "registration/registration_file.h"

namespace ca {
namespace {

unsigned addProEAuxAppInFile(const Session& session)
{
    logProperties(session, {kBrowsedSlot, kBrowsedFolderProperty});
    forEachChosenRelease(session, kRecordOrder, [&session](const ReleaseSlot&, const PathBuffer& folder) {
        recordHostSurvey(session, folder.view());
        if (!addAuxAppEntry(session, folder.view()))
            reportRegistrationFailure(session, kInstallErrorProperty, folder.view());
        return true;
    });
    PathBuffer browsed;
    session.read(kBrowsedFolderProperty, browsed);
    if (!browsed.empty() && session.equals(kBrowsedSlot, "1")) {
        recordHostSurvey(session, browsed.view());
        if (!addAuxAppEntry(session, browsed.view()))
            reportRegistrationFailure(session, kInstallErrorProperty, browsed.view());
    }
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(addProEAuxAppInFile, ca::addProEAuxAppInFile)

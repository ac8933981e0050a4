// addCMDEntriesInProtFile: registers the add-in, with absolute paths, in the
// registration file of every chosen release slot. The browsed slot and the
// listed installations are not registered here.
#include "core/boundary.h"
#include "core/outcome.h"
#include "model/host_failure.h"
#include "model/chosen_releases.h"
#include "records/product_records.h"
#include "registration/registration_file.h"

namespace ca {
namespace {

unsigned addCMDEntriesInProtFile(const Session& session)
{
    forEachChosenRelease(session, kOldestFirst, [&session](const ReleaseSlot&, const PathBuffer& folder) {
        recordHostSurvey(session, folder.view());
        if (!addCmdAuxAppEntry(session, folder.view()))
            reportRegistrationFailure(session, kInstallErrorProperty, folder.view());
        return true;
    });
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(addCMDEntriesInProtFile, ca::addCMDEntriesInProtFile)

// addCMDEntriesInProtFile: registers the add-in, with absolute paths, in the
// registration file of every chosen release slot. The browsed slot and the
// listed installations are not registered here.
#include "core/boundary.h"
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
    const auto registered = [&session](std::string_view folder) { return holdsAuxAppEntry(session, folder); };
    if (!adoptEarlierVersion(session, addInManifest(), Moment::installing, registered)) return 0;
    forEachChosenRelease(session, kOldestFirst, [&session](const ReleaseSlot&, const PathBuffer& folder) {
        // The entry goes into the host's footprint before it goes into protk.dat.
        if (recordEntryAhead(session, folder.view()) && !addCmdAuxAppEntry(session, folder.view()))
            reportRegistrationFailure(session, kInstallErrorProperty, folder.view());
        return true;
    });
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(addCMDEntriesInProtFile, ca::addCMDEntriesInProtFile)

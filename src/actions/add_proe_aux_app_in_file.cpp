// addProEAuxAppInFile: registers the add-in, with host-relative paths, in
// the registration file of every chosen release slot and of the browsed
// slot. Listed installations are registered by the deployment instead.
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

// The entry goes into the host's footprint before it goes into protk.dat.
void registerIn(const Session& session, std::string_view folder)
{
    if (recordEntryAhead(session, folder) && !addAuxAppEntry(session, folder))
        reportRegistrationFailure(session, kInstallErrorProperty, folder);
}

unsigned addProEAuxAppInFile(const Session& session)
{
    logProperties(session, {kBrowsedSlot, kBrowsedFolderProperty});
    const auto registered = [&session](std::string_view folder) { return holdsAuxAppEntry(session, folder); };
    if (!adoptEarlierVersion(session, addInManifest(), Moment::installing, registered)) return 0;
    forEachChosenRelease(session, kRecordOrder, [&session](const ReleaseSlot&, const PathBuffer& folder) {
        registerIn(session, folder.view());
        return true;
    });
    PathBuffer browsed;
    session.read(kBrowsedFolderProperty, browsed);
    if (!browsed.empty() && session.equals(kBrowsedSlot, "1")) registerIn(session, browsed.view());
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(addProEAuxAppInFile, ca::addProEAuxAppInFile)

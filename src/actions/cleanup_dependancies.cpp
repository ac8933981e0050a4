// cleanupDependancies: on removal, deletes the private runtime folders that
// the runtime staging put into a Wildfire 5.0 folder without the host, as
// the footprints say; a host whose entry may still stand is left alone. 1
// once that removal ran somewhere.
#include "core/boundary.h"
#include "core/log.h"
#include "records/earlier_version.h"
#include "registration/registration_file.h"
#include "removal/host_removal.h"

namespace ca {
namespace {

unsigned cleanupDependancies(const Session& session)
{
    const auto registered = [&session](std::string_view folder) { return holdsAuxAppEntry(session, folder); };
    if (!adoptEarlierVersion(session, addInManifest(), Moment::removing, registered)) return 0;
    const RemovalOutcome outcome = removeFromFootprints(session, {Domain::runtime}, nullptr);
    if (outcome.undone == 0) session.log("no footprint names a private runtime: nothing to remove");
    return outcome.undone > 0 ? 1 : 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(cleanupDependancies, ca::cleanupDependancies)

// cleanCmdResources: on removal, takes the add-in's resources out of
// text\usascii\resource of every release folder it copied them into, as the
// hosts' footprints say; a host whose entry may still stand is left alone.
#include "core/boundary.h"
#include "records/earlier_version.h"
#include "registration/registration_file.h"
#include "removal/host_removal.h"

namespace ca {
namespace {

unsigned cleanCmdResources(const Session& session)
{
    const auto registered = [&session](std::string_view folder) { return holdsAuxAppEntry(session, folder); };
    if (!adoptEarlierVersion(session, addInManifest(), Moment::removing, registered)) return 0;
    removeFromFootprints(session, {Domain::resources}, nullptr);
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(cleanCmdResources, ca::cleanCmdResources)

// setAdditionalProeOnCB: adds the browsed folder, once validated, as one more
// ticked check box.
#include "core/boundary.h"
#include "core/log.h"
#include "identification/browsed_installation.h"
#include "identification/release_identification.h"

#include <cstdlib>

namespace ca {
namespace {

unsigned setAdditionalProeOnCB(const Session& session)
{
    logProperties(session, {"PROEMBROWSE", "ISBROWSEPATHVALID"});
    PathBuffer valid;
    const FolderProperty browsed = readFolderProperty(session, "PROEMBROWSE");
    session.read("ISBROWSEPATHVALID", valid);
    if (std::atoi(valid.c_str()) != 1) {
        session.log("the browsed folder was not validated: no check box for it");
        return 0;
    }
    if (browsed.tooLong()) {
        session.log(concat(browsed.tooLongText(), ": no check box for it"));
        return 0;
    }
    // Run on its own, the action has not identified the folder: its label
    // names the Pro/ENGINEER family and no descriptor's datecode.
    const ReleaseIdentifier identifier(session);
    addBrowsedInstallation(session, identifier, Family::proEngineer, browsed.folder.view());
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(setAdditionalProeOnCB, ca::setAdditionalProeOnCB)

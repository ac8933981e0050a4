// validateProEBrwPath: checks a folder that the user browsed to and, when it
// holds a host installation of a release this package takes, adds it.
#include "core/boundary.h"
#include "core/text.h"
#include "identification/browsed_installation.h"
#include "identification/release_identification.h"
#include "model/host_folder.h"

#include <string>

namespace ca {
namespace {

// A package for Wildfire 5.0 takes only Wildfire 5.0 and Creo Parametric 2.0.
bool takenByPackage(const Session& session, ReleaseCode code)
{
    return !(session.equals("WF5MSI", "1") && code >= 1 && code <= kCreo1 && code != kWildfire5);
}

unsigned validateProEBrwPath(const Session& session)
{
    PathBuffer browsed;
    session.read("PROEMBROWSE", browsed);
    session.set("ISBROWSEPATHVALID", "0");

    ReleaseIdentifier identifier(session);
    const ReleaseCode code = identifier.identify(browsed.view());
    if (!takenByPackage(session, code)) return 0;
    if (!hasHostExecutable(browsed.view()) || code == kNotRecognised) return 0;

    session.set("ISBROWSEPATHVALID", "1");
    addBrowsedInstallation(session, identifier, familyOf(code), browsed.view());

    PathBuffer purpose;
    session.read("PROECANAME", purpose);
    if (equalsIgnoringCase(purpose.view(), "setPROEM1DIR")) {
        session.set(kBrowsedFolderProperty, browsed.view());
        session.set("PROEVER", std::to_string(code));
    }
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(validateProEBrwPath, ca::validateProEBrwPath)

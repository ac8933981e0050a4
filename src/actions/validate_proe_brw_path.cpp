// validateProEBrwPath: checks a folder that the user browsed to and, when it
// holds a host installation of a release this package takes, adds it.
#include "core/boundary.h"
#include "core/log.h"
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
    logProperties(session, {"PROEMBROWSE", "WF5MSI", "PROECANAME"});
    const FolderProperty read = readFolderProperty(session, "PROEMBROWSE");
    const PathBuffer& browsed = read.folder;
    session.set("ISBROWSEPATHVALID", "0");
    const std::string named =
        concat("browsed folder PROEMBROWSE=", shown(read.tooLong() ? session.readWhole("PROEMBROWSE") : browsed.str()));
    const auto reject = [&](std::string_view reason) {
        session.log(concat(named, " rejected: ", reason));
        return 0u;
    };
    // A folder too long to take is no installation the library can use.
    if (read.tooLong()) return reject(read.tooLongText());

    ReleaseIdentifier identifier(session);
    const ReleaseCode code = identifier.identify(browsed.view());
    if (!takenByPackage(session, code))
        return reject(
            concat("this package (WF5MSI=1) takes only Wildfire 5.0 and Creo Parametric 2.0, not ", releaseName(code)));
    if (!hasHostExecutable(browsed.view())) return reject(concat("it ", noHostReason(browsed.view())));
    if (code == kNotRecognised) return reject("its release is not recognised");

    session.log(concat(named, " accepted: ", releaseName(code)));
    session.set("ISBROWSEPATHVALID", "1");
    addBrowsedInstallation(session, identifier, familyOf(code), browsed.view());

    PathBuffer purpose;
    session.read("PROECANAME", purpose);
    if (equalsIgnoringCase(purpose.view(), "setPROEM1DIR")) {
        session.log(concat("it becomes the browsed slot's folder (", kBrowsedFolderProperty, "), release code ",
                           std::to_string(code)));
        session.set(kBrowsedFolderProperty, browsed.view());
        session.set("PROEVER", std::to_string(code));
    }
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(validateProEBrwPath, ca::validateProEBrwPath)

#include "identification/browsed_installation.h"

#include "core/log.h"
#include "core/paths.h"
#include "model/listed_installations.h"

#include <string>

namespace ca {

void addBrowsedInstallation(const Session& session, const ReleaseIdentifier& identifier, Family family,
                            std::string_view folder)
{
    PathBuffer stripped(folder);
    stripTrailingSeparator(stripped);
    if (stripped.empty()) {
        session.log("no browsed folder: no check box for it");
        return;
    }

    ListedInstallations listed = ListedInstallations::read(session);
    if (listed.holds(stripped.view())) {  // browsing to it again adds nothing
        session.log(concat(escaped(stripped.view()), " has a check box already: nothing added"));
        return;
    }

    std::string release;
    std::string shipcode;
    std::string datecode;
    identifier.readInstallLog(stripped.view(), release, shipcode, datecode);
    // No release selection property: the browsed folder's release has its
    // own slot folder elsewhere, and ticking it would register the add-in there.
    if (!listed.add(session, browsedInstallationLabel(family, release, shipcode, datecode), stripped.view()))
        session.log(concat("no check box for ", escaped(stripped.view()), ": all eight are in use"));
}

}  // namespace ca

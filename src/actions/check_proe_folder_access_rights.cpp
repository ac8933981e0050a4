// checkProEFolderAccessRights: reports a chosen listed installation whose
// registration file cannot be opened for appending, or whose folder is too
// long to take. A "NO" that an earlier check left stays. Adds to FILESINUSE
// the chosen ones whose add-in files are in use.
#include "core/boundary.h"
#include "core/log.h"
#include "model/listed_installations.h"
#include "selection/checks.h"
#include "selection/files_in_use.h"

namespace ca {
namespace {

unsigned checkProEFolderAccessRights(const Session& session)
{
    const ListedInstallations listed = ListedInstallations::read(session);
    addListedFilesInUse(session, listed);
    std::string checked;
    if (const auto unwritable = firstUnwritableListedFolder(session, listed, checked)) {
        session.log(concat("PROTK_WRITE set to NO: ", unwritable->property, "=", shown(unwritable->folder), ": ",
                           unwritable->reason));
        session.set("PROTK_WRITE", "NO");
        return 0;
    }
    session.log(checked.empty() ? std::string("no chosen listed installation: nothing to check")
                                : concat("every chosen listed installation's protk.dat can be written: ", checked));
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(checkProEFolderAccessRights, ca::checkProEFolderAccessRights)

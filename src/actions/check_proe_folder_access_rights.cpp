// checkProEFolderAccessRights: reports a chosen listed installation whose
// registration file cannot be opened for appending. A "NO" that an earlier
// check left stays. Adds to FILESINUSE the chosen ones whose add-in files
// are in use.
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
    if (const ListedSlot* slot = firstUnwritableListedFolder(session, listed)) {
        session.log(concat("PROTK_WRITE set to NO: the protk.dat of ", escaped(slot->folder.view()), " (",
                           slot->names->checkProperty, ") cannot be written"));
        session.set("PROTK_WRITE", "NO");
        return 0;
    }
    session.log("every chosen listed installation's protk.dat can be written");
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(checkProEFolderAccessRights, ca::checkProEFolderAccessRights)

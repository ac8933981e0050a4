// checkProEFolderAccessRights: reports a chosen listed installation whose
// registration file cannot be opened for appending. A "NO" that an earlier
// check left stays.
#include "core/boundary.h"
#include "model/listed_installations.h"
#include "selection/checks.h"

namespace ca {
namespace {

unsigned checkProEFolderAccessRights(const Session& session)
{
    if (anyUnwritableListedFolder(ListedInstallations::read(session))) session.set("PROTK_WRITE", "NO");
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(checkProEFolderAccessRights, ca::checkProEFolderAccessRights)

// checkProTKAccess: reports the first chosen release slot, or the browsed
// slot, whose registration file cannot be opened for appending, before
// registration would find out silently.
#include "core/boundary.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "selection/checks.h"

namespace ca {
namespace {

void reportUnwritable(const Session& session, const PathBuffer& folder)
{
    session.set("PROTK_WRITE", "NO");
    session.set("TEMPPROEDIR", folder.view());
}

unsigned checkProTKAccess(const Session& session)
{
    session.set("PROTK_WRITE", "");
    if (const auto folder = firstUnwritableReleaseFolder(session)) {
        reportUnwritable(session, *folder);
        return 0;
    }
    // The browsed slot's folder is tested whether or not its box is ticked.
    PathBuffer browsed;
    session.read(kBrowsedFolderProperty, browsed);
    if (!browsed.empty() && !isRegistrationFileWritable(browsed.view())) reportUnwritable(session, browsed);
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(checkProTKAccess, ca::checkProTKAccess)

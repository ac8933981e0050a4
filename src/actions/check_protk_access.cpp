// checkProTKAccess: reports the first chosen release slot, or the browsed
// slot, whose registration file cannot be opened for appending, before
// registration would find out silently; and names in FILESINUSE the chosen
// ones whose add-in files are in use, for the dialog to warn.
#include "core/boundary.h"
#include "core/log.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "selection/checks.h"
#include "selection/files_in_use.h"

namespace ca {
namespace {

void reportUnwritable(const Session& session, const PathBuffer& folder)
{
    session.log(concat("PROTK_WRITE set to NO, TEMPPROEDIR to ", shown(folder.view()), ": its protk.dat cannot be written"));
    session.set("PROTK_WRITE", "NO");
    session.set("TEMPPROEDIR", folder.view());
}

unsigned checkProTKAccess(const Session& session)
{
    session.set("PROTK_WRITE", "");
    publishReleaseFilesInUse(session);
    if (const auto folder = firstUnwritableReleaseFolder(session)) {
        reportUnwritable(session, *folder);
        return 0;
    }
    // The browsed slot's folder is tested whether or not its box is ticked.
    PathBuffer browsed;
    session.read(kBrowsedFolderProperty, browsed);
    if (!browsed.empty() && !isRegistrationFileWritable(session, browsed.view())) {
        reportUnwritable(session, browsed);
        return 0;
    }
    session.log("every chosen release folder's protk.dat, and the browsed folder's, can be written");
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(checkProTKAccess, ca::checkProTKAccess)

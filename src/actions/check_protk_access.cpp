// checkProTKAccess: reports the first chosen release slot, or the browsed
// slot, whose registration file cannot be opened for appending, before
// registration would find out silently (a folder too long to take cannot be
// registered either: it is reported the same way); and names in FILESINUSE
// the chosen ones whose add-in files are in use, for the dialog to warn.
#include "core/boundary.h"
#include "core/log.h"
#include "selection/checks.h"
#include "selection/files_in_use.h"

namespace ca {
namespace {

unsigned checkProTKAccess(const Session& session)
{
    session.set("PROTK_WRITE", "");
    publishReleaseFilesInUse(session);
    std::string checked;
    if (const auto unwritable = firstUnwritableReleaseFolder(session, checked)) {
        session.log(concat("PROTK_WRITE set to NO, TEMPPROEDIR to ", shown(unwritable->folder), " (",
                           unwritable->property, "): ", unwritable->reason));
        session.set("PROTK_WRITE", "NO");
        session.set("TEMPPROEDIR", unwritable->folder);
        return 0;
    }
    session.log(checked.empty() ? std::string("no chosen folder, and no browsed folder: nothing to check")
                                : concat("every chosen folder's protk.dat can be written: ", checked));
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(checkProTKAccess, ca::checkProTKAccess)

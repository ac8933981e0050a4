// validateSelection: accepts the browsed slot's folder and records its
// release, or tells the dialog why not.
#include "core/boundary.h"
#include "core/log.h"
#include "identification/release_identification.h"
#include "model/chosen_releases.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "selection/checks.h"

#include <string>

namespace ca {
namespace {

void reject(const Session& session, const std::string& reason)
{
    session.log(concat("INVALIDSEL set to 1, ", kBrowsedFolderProperty, " removed: ", reason));
    session.set("INVALIDSEL", "1");
    session.remove(kBrowsedFolderProperty);
}

unsigned validateSelection(const Session& session)
{
    logProperties(session, {"ISCMDINSTALL", kBrowsedFolderProperty});
    logChosenReleaseFolders(session, kDuplicateCheckOrder);
    const bool commandLine = session.equals("ISCMDINSTALL", "1");
    session.set("INVALIDSEL", "0");
    if (!commandLine) session.set(kBrowsedSlot, "0");

    const FolderProperty browsed = readFolderProperty(session, kBrowsedFolderProperty);
    // A folder too long to take names no installation the library can use.
    if (browsed.tooLong()) return reject(session, browsed.tooLongText()), 0;
    if (browsed.folder.empty()) {
        session.log(concat(kBrowsedFolderProperty, " is empty: no browsed folder to check"));
        return 0;
    }
    const std::string folder = concat(kBrowsedFolderProperty, "=", shown(browsed.folder.view()));
    if (isChosenReleaseFolder(session, browsed.folder.view())) {
        session.log(concat("DUPLICATEDIR set to 1: ", folder, " is the folder of a chosen release"));
        session.set("DUPLICATEDIR", "1");
        return 0;
    }
    if (!hasHostExecutable(browsed.folder.view()))
        return reject(session, concat(folder, " ", noHostReason(browsed.folder.view()))), 0;
    const ReleaseCode code = ReleaseIdentifier(session).identify(browsed.folder.view());
    if (code == kNotRecognised) {
        session.log(concat(kBrowsedFolderProperty, " removed: the release of ", folder, " is not recognised"));
        session.remove(kBrowsedFolderProperty);
        return 0;
    }
    session.log(concat("the browsed slot takes ", folder, ": ", kBrowsedSlot, "=1, ", kBrowsedVersionProperty, "=",
                       std::to_string(code)));
    session.set(kBrowsedSlot, "1");
    session.set(kBrowsedVersionProperty, std::to_string(code));
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(validateSelection, ca::validateSelection)

// validateSelection: accepts the browsed slot's folder and records its
// release, or tells the dialog why not.
#include "core/boundary.h"
#include "core/log.h"
#include "identification/release_identification.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "selection/checks.h"

#include <string>

namespace ca {
namespace {

unsigned validateSelection(const Session& session)
{
    logProperties(session, {"ISCMDINSTALL", kBrowsedFolderProperty});
    const bool commandLine = session.equals("ISCMDINSTALL", "1");
    session.set("INVALIDSEL", "0");
    if (!commandLine) session.set(kBrowsedSlot, "0");

    PathBuffer browsed;
    session.read(kBrowsedFolderProperty, browsed);
    if (browsed.empty()) {
        session.log("no browsed folder: nothing to check");
        return 0;
    }
    const std::string folder = shown(browsed.view());
    if (isChosenReleaseFolder(session, browsed.view())) {
        session.log(concat("DUPLICATEDIR set to 1: ", folder, " is the folder of a chosen release"));
        session.set("DUPLICATEDIR", "1");
        return 0;
    }
    if (!hasHostExecutable(browsed.view())) {
        session.log(concat("INVALIDSEL set to 1, ", kBrowsedFolderProperty, " removed: ", folder, " holds no ",
                           kObjectFolder, "\\", kHostExecutable));
        session.set("INVALIDSEL", "1");
        session.remove(kBrowsedFolderProperty);
        return 0;
    }
    const ReleaseCode code = ReleaseIdentifier(session).identify(browsed.view());
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

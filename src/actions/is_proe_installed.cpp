// isProEInstalled: publishes the installed host releases as the selection,
// folder and datecode properties of their slots.
#include "core/boundary.h"
#include "core/log.h"
#include "discovery/installations.h"
#include "model/host_folder.h"
#include "model/release_table.h"

namespace ca {
namespace {

// A release that is not found again must not keep what an earlier run found:
// each slot's selection and folder, newest family first as the records go,
// then the datecode labels, oldest first.
void removeReleaseProperties(const Session& session)
{
    for (const Slot slot : kRecordOrder) {
        session.remove(releaseSlot(slot).name);
        session.remove(releaseSlot(slot).folderProperty);
    }
    for (const Slot slot : kOldestFirst) session.remove(releaseSlot(slot).datecodeProperty);
}

// PROEDUMPDEPENDANCIES: "0" when the browsed folder holds the host.
void publishBrowsedHost(const Session& session)
{
    const FolderProperty browsed = readFolderProperty(session, kBrowsedFolderProperty);
    const bool host = hasHostExecutable(browsed.folder.view());
    const std::string folder = concat(kBrowsedFolderProperty, "=", shown(browsed.folder.view()));
    if (host)
        session.log(concat("PROEDUMPDEPENDANCIES set to 0: ", folder, " holds the host"));
    else if (browsed.tooLong())
        session.log(concat("PROEDUMPDEPENDANCIES set to 1: ", browsed.tooLongText(), ", so it holds no usable host"));
    else
        session.log(concat("PROEDUMPDEPENDANCIES set to 1: ", folder, " ", noHostReason(browsed.folder.view())));
    session.set("PROEDUMPDEPENDANCIES", host ? "0" : "1");
}

unsigned isProEInstalled(const Session& session)
{
    logProperties(session, {"ISCMDINSTALL", kBrowsedSlot, kBrowsedFolderProperty});
    // A command line that turned the browsed slot off has decided already.
    const bool browsedSlotOff = session.equals(kBrowsedSlot, "0");
    if (session.equals("ISCMDINSTALL", "1") && browsedSlotOff) {
        session.log("a command line with the browsed slot off: the release properties stay as given");
        return 0;
    }

    const bool commandLine = session.equals("ISCMDINSTALL", "1");
    removeReleaseProperties(session);
    if (!commandLine) session.remove(kBrowsedFolderProperty);

    forEachInstalledRelease(
        session, [&session](const ReleaseSlot& slot, std::string_view folder, std::string_view label) {
            session.log(concat(slot.name, " set: ", slot.release, " in ", escaped(folder), ", ", escaped(label)));
            session.set(slot.name, "1");
            session.set(slot.folderProperty, folder);
            session.set(slot.datecodeProperty, label);
        });

    publishBrowsedHost(session);
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(isProEInstalled, ca::isProEInstalled)

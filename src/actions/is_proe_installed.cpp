// isProEInstalled: publishes the installed host releases as the selection,
// folder and datecode properties of their slots.
#include "core/boundary.h"
#include "core/log.h"
#include "discovery/installations.h"
#include "model/host_folder.h"
#include "model/release_table.h"

namespace ca {
namespace {

// A release that is not found again must not keep what an earlier run found.
void removeReleaseProperties(const Session& session)
{
    for (const char* name : {"CREO1", "CREO1DIR", "CREO2", "CREO2DIR", "PROEWF5", "PROEWF5DIR", "PROEWF4",
                             "PROEWF4DIR", "PROEWF3", "PROEWF3DIR", "PROEWF2", "PROEWF2DIR", "PROEWF1", "PROEWF1DIR",
                             "SHIPCODE1", "SHIPCODE2", "SHIPCODE3", "SHIPCODE4", "SHIPCODE5", "SHIPCODECREO1",
                             "SHIPCODECREO2"})
        session.remove(name);
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

    forEachInstalledRelease(session, [&session](const ReleaseSlot& slot, std::string_view folder, std::string_view label) {
        session.log(concat(slot.name, " set: ", slot.release, " in ", escaped(folder), ", ", escaped(label)));
        session.set(slot.name, "1");
        session.set(slot.folderProperty, folder);
        session.set(slot.datecodeProperty, label);
    });

    PathBuffer browsed;
    session.read(kBrowsedFolderProperty, browsed);
    const bool host = hasHostExecutable(browsed.view());
    session.log(host ? concat("PROEDUMPDEPENDANCIES set to 0: the browsed folder ", escaped(browsed.view()), " holds the host")
                     : std::string("PROEDUMPDEPENDANCIES set to 1: no browsed folder that holds the host"));
    session.set("PROEDUMPDEPENDANCIES", host ? "0" : "1");
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(isProEInstalled, ca::isProEInstalled)

// fillInsatlledProeCB: lists every usable host installation of every release
// as a ticked check box of the destination dialog.
#include "core/boundary.h"
#include "core/log.h"
#include "discovery/installations.h"
#include "model/listed_installations.h"

#include <string>

namespace ca {
namespace {

unsigned fillInsatlledProeCB(const Session& session)
{
    // The boxes fill from the first, whatever the dialog held; once all eight
    // are taken, further installations are passed over, and counted.
    ListedInstallations listed = ListedInstallations::allFree();
    session.remove("SHIPCODE5");
    int passedOver = 0;
    std::string first;
    forEachInstallation(session, [&](const ReleaseSlot& slot, std::string_view datecodeLabel, std::string_view folder) {
        const std::string label = std::string(slot.checkBoxLabel) + "[" + std::string(datecodeLabel) + "]";
        if (listed.add(session, label, folder, slot.name)) return;
        if (passedOver++ == 0) first = escaped(folder);
    });
    if (passedOver > 0)
        session.log(concat("no check box for ", std::to_string(passedOver),
                           passedOver == 1 ? " more installation (" : " more installations (the first ", first,
                           "): all eight are in use"));
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(fillInsatlledProeCB, ca::fillInsatlledProeCB)

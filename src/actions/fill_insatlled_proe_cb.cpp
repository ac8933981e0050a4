// fillInsatlledProeCB: lists every usable host installation of every release
// as a ticked check box of the destination dialog.
#include "core/boundary.h"
#include "discovery/installations.h"
#include "model/listed_installations.h"

#include <string>

namespace ca {
namespace {

unsigned fillInsatlledProeCB(const Session& session)
{
    // The boxes fill from the first, whatever the dialog held; once all eight
    // are taken, further installations are passed over.
    ListedInstallations listed = ListedInstallations::allFree();
    session.remove("SHIPCODE5");
    forEachInstallation(session, [&](const ReleaseSlot& slot, std::string_view datecodeLabel, std::string_view folder) {
        const std::string label = std::string(slot.checkBoxLabel) + "[" + std::string(datecodeLabel) + "]";
        listed.add(session, label, folder, slot.name);
    });
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(fillInsatlledProeCB, ca::fillInsatlledProeCB)

// validateProEBrwPath and setAdditionalProeOnCB: a folder that the user
// browsed to is checked and added to the dialog as one more ticked box.
#include "core/boundary.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/state.h"
#include "discovery/check_box_list.h"
#include "identify/release_identification.h"
#include "platform/installer.h"
#include "selection/custom_install_list.h"

#include <cstdlib>
#include <string>

namespace ca {
namespace {

constexpr int kMaxUsedCustomSlots = 9;

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

// The text of a browsed installation's box: family, release text as the
// log gives it, and the shipcode (or else the datecode).
std::string browsedInstallationLabel(const std::string& release, const std::string& shipcode,
                                     const std::string& datecode)
{
    const char* family = processState().creoFamily ? "Creo Parametric " : "Pro/ENGINEER ";
    return family + release + "[(Datecode: " + (shipcode.empty() ? datecode : shipcode) + ")] ";
}

unsigned setAdditionalProeOnCBBody(platform::MsiHandle session)
{
    initCustomInstallList();
    PathBuffer folder;
    PathBuffer browseValid;
    readProperty(session, "PROEMBROWSE", folder);
    readProperty(session, "ISBROWSEPATHVALID", browseValid);
    stripTrailingSeparator(folder);

    std::string release;
    std::string shipcode;
    std::string datecode;
    readInstallLog(folder.c_str(), release, shipcode, datecode);

    if (!markUsedCustomSlots(session, folder.str())) return 0;  // already listed
    if (processState().usedCustomSlotCount > kMaxUsedCustomSlots) return 0;
    if (folder.empty() || std::atoi(browseValid.c_str()) != 1) return 0;

    std::optional<CustomInstallEntry> entry = firstFreeCustomEntry();
    if (!entry) return 0;
    entry->inUse = true;
    setProperty(session, entry->checkProperty.c_str(), "1");
    // No release selection property: the browsed folder's release has its
    // own slot folder elsewhere, and ticking it would register the add-in there.
    setProperty(session, entry->labelProperty.c_str(), browsedInstallationLabel(release, shipcode, datecode));
    setProperty(session, entry->dirProperty.c_str(), folder.view());

    platform::UniqueMsiHandle database(platform::msiGetActiveDatabase(session));
    setCheckBoxTooltip(database.get(), entry->checkProperty.c_str(), folder.c_str());
    updateCustomEntry(*entry);
    return 0;
}

unsigned validateProEBrwPathBody(platform::MsiHandle session)
{
    PathBuffer browsed;
    readProperty(session, "PROEMBROWSE", browsed);
    setProperty(session, "ISBROWSEPATHVALID", "0");

    const ReleaseCode code = identifyRelease(browsed.c_str());
    if (isCreoFamily(code)) processState().creoFamily = true;
    const std::string codeText = std::to_string(code);

    // A package for Wildfire 5.0 takes only Wildfire 5.0 and Creo Parametric 2.0.
    if (propertyEquals(session, "WF5MSI", "1") && code >= 1 && code <= 8 && code != kWildfire5) return 0;
    if (!hasHostExecutable(browsed.c_str()) || code == kNotRecognised) return 0;

    setProperty(session, "ISBROWSEPATHVALID", "1");
    setAdditionalProeOnCBBody(session);
    processState().creoFamily = false;

    PathBuffer purpose;
    readProperty(session, "PROECANAME", purpose);
    if (equalsIgnoringCase(purpose.view(), "setPROEM1DIR")) {
        setProperty(session, kBrowsedFolderProperty, browsed.view());
        setProperty(session, "PROEVER", codeText);
    }
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(validateProEBrwPath, ca::validateProEBrwPathBody)
CA_EXPORT_ACTION(setAdditionalProeOnCB, ca::setAdditionalProeOnCBBody)

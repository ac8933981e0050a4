// validateSelection: accepts the browsed slot's folder and records its
// release, or tells the dialog why not.
#include "core/boundary.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/release_table.h"
#include "identify/release_identification.h"

#include <string>

namespace ca {
namespace {

struct ChosenRelease {
    PathBuffer folder;
    PathBuffer checked;
};

unsigned validateSelectionBody(platform::MsiHandle session)
{
    PathBuffer commandLine;
    readProperty(session, "ISCMDINSTALL", commandLine);
    setProperty(session, "INVALIDSEL", "0");
    if (!(commandLine == "1")) setProperty(session, kBrowsedSlot, "0");

    // The order in which a duplicate is looked for.
    const Slot order[] = {Slot::proeWf1, Slot::proeWf2, Slot::proeWf3, Slot::proeWf4,
                          Slot::proeWf5, Slot::creo2,   Slot::creo1};
    ChosenRelease releases[std::size(order)];
    for (std::size_t i = 0; i < std::size(order); ++i)
        readProperty(session, releaseSlot(order[i]).folderProperty, releases[i].folder);
    for (std::size_t i = 0; i < std::size(order); ++i)
        readProperty(session, releaseSlot(order[i]).name, releases[i].checked);
    PathBuffer browsed;
    readProperty(session, kBrowsedFolderProperty, browsed);
    if (browsed.empty()) return 0;

    for (const ChosenRelease& release : releases) {
        if (release.checked == "1" && release.folder == browsed.view()) {
            setProperty(session, "DUPLICATEDIR", "1");
            return 0;
        }
    }

    if (!hasHostExecutable(browsed.c_str())) {
        setProperty(session, "INVALIDSEL", "1");
        removeProperty(session, kBrowsedFolderProperty);
        return 0;
    }
    const ReleaseCode code = identifyRelease(browsed.c_str());
    if (code == kNotRecognised) {
        removeProperty(session, kBrowsedFolderProperty);
        return 0;
    }
    setProperty(session, kBrowsedSlot, "1");
    setProperty(session, kBrowsedVersionProperty, std::to_string(code));
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(validateSelection, ca::validateSelectionBody)

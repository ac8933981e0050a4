// fillInsatlledProeCB: lists every usable host installation of every release
// as a ticked check box of the destination dialog.
#include "discovery/check_box_list.h"

#include "core/boundary.h"
#include "core/properties.h"
#include "core/release_table.h"
#include "core/state.h"
#include "discovery/registry_scan.h"
#include "platform/installer.h"
#include "platform/registry.h"
#include "selection/custom_install_list.h"

#include <string>

namespace ca {
namespace {

constexpr int kMaxCheckBoxes = 8;

// The query that selects the dialog's check box bound to `checkProperty`,
// or "" when the name is not one of the eight check-box properties.
std::string checkBoxQuery(const char* checkProperty)
{
    for (const CustomSlotNames& names : kCustomSlots) {
        if (std::string_view(names.checkProperty) != checkProperty) continue;
        return std::string("SELECT * FROM `Control` WHERE `Control`.`Dialog_`='") + kDestinationDialog +
               "' AND `Control`.`Type`='CheckBox' AND `Control`.`Property`='" + names.checkProperty + "'";
    }
    return {};
}

struct CheckBoxFill {
    platform::MsiHandle session;
    PathBuffer folder;
    PathBuffer label;
    int filled = 0;
};

// Turns each installation that the scan put into the map into a ticked box,
// while boxes are left.
void listInstallations(CheckBoxFill& fill, const ReleaseSlot& release)
{
    for (const auto& [datecodeLabel, installFolder] : processState().installationMap) {
        if (fill.filled >= kMaxCheckBoxes) return;
        std::optional<CustomInstallEntry> entry = firstFreeCustomEntry();
        if (!entry) return;
        entry->inUse = true;
        setProperty(fill.session, entry->checkProperty.c_str(), "1");
        setProperty(fill.session, entry->labelProperty.c_str(),
                    std::string(release.checkBoxLabel) + "[" + datecodeLabel + "]");
        setProperty(fill.session, release.name, "1");
        setProperty(fill.session, entry->dirProperty.c_str(), installFolder);
        updateCustomEntry(*entry);

        platform::UniqueMsiHandle database(platform::msiGetActiveDatabase(fill.session));
        setCheckBoxTooltip(database.get(), entry->checkProperty.c_str(), installFolder.c_str());
        ++fill.filled;
    }
}

// Discovery only reads, so the keys are opened for reading: a standard user
// sees the installed hosts too.
void listRelease(CheckBoxFill& fill, const platform::RegKey& parent, const ReleaseSlot& release)
{
    platform::RegKey releaseKey;
    if (platform::regOpenKey(&parent, release.releaseSubkey, platform::kKeyRead, releaseKey) != platform::kSuccess) return;
    ProcessState& state = processState();
    state.creoFamily = release.family == Family::creoParametric;
    scanReleaseKey(releaseKey, fill.folder, fill.label, state.installationMap);
    listInstallations(fill, release);
    state.creoFamily = false;
    state.installationMap.clear();
}

void listCreoRelease(CheckBoxFill& fill, const char* parentKey, const ReleaseSlot& release)
{
    platform::RegKey parent;
    if (platform::regOpenKey(nullptr, parentKey, platform::kKeyRead, parent) != platform::kSuccess) return;
    listRelease(fill, parent, release);
}

unsigned fillInsatlledProeCBBody(platform::MsiHandle session)
{
    initCustomInstallList();
    CheckBoxFill fill{session, {}, {}, 0};
    removeProperty(session, "SHIPCODE5");

    listCreoRelease(fill, kCreoKey, releaseSlot(Slot::creo1));
    listCreoRelease(fill, kCreoKey, releaseSlot(Slot::creo2));
    listCreoRelease(fill, kCreoKey32, releaseSlot(Slot::creo2));

    platform::RegKey proEngineer;
    if (platform::regOpenKey(nullptr, kProEngineerKey, platform::kKeyRead, proEngineer) != platform::kSuccess) return 0;
    for (Slot wildfire : {Slot::proeWf5, Slot::proeWf4, Slot::proeWf3, Slot::proeWf2, Slot::proeWf1})
        listRelease(fill, proEngineer, releaseSlot(wildfire));
    return 0;
}

}  // namespace

void setCheckBoxTooltip(platform::MsiHandle database, const char* checkProperty, const char* folder)
{
    const std::string query = checkBoxQuery(checkProperty);
    if (query.empty()) return;

    platform::UniqueMsiHandle view;
    platform::msiDatabaseOpenView(database, query.c_str(), view.put());
    platform::msiViewExecute(view.get(), 0);
    platform::UniqueMsiHandle record;
    if (platform::msiViewFetch(view.get(), record.put()) != platform::kSuccess || !record) return;

    // Only the first row changes. A row cannot be edited in place while the
    // installer runs, so it is replaced by a temporary copy with the tooltip.
    platform::msiViewModify(view.get(), platform::kModifyDelete, record.get());
    const std::string tooltip = std::string(folder) + "|";
    platform::msiRecordSetString(record.get(), 12, tooltip.c_str());
    // The row is gone now: a failed insert would take the box off the dialog,
    // so it is tried once more.
    if (platform::msiViewModify(view.get(), platform::kModifyInsertTemporary, record.get()) != platform::kSuccess)
        platform::msiViewModify(view.get(), platform::kModifyInsertTemporary, record.get());
    platform::msiViewModify(view.get(), platform::kModifyRefresh, record.get());
}

}  // namespace ca

CA_EXPORT_ACTION(fillInsatlledProeCB, ca::fillInsatlledProeCBBody)

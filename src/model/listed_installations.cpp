#include "model/listed_installations.h"

#include "core/log.h"
#include "platform/installer.h"

#include <string>

namespace ca {
namespace {

constexpr unsigned kHelpColumn = 12;

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

}  // namespace

ListedInstallations ListedInstallations::allFree()
{
    ListedInstallations list;
    for (std::size_t i = 0; i < kCustomSlots.size(); ++i) list.slots_[i].names = &kCustomSlots[i];
    return list;
}

ListedInstallations ListedInstallations::read(const Session& session)
{
    ListedInstallations list = allFree();
    for (ListedSlot& slot : list.slots_) {
        session.read(slot.names->dirProperty, slot.folder, &slot.folderLength);
        slot.chosen = session.equals(slot.names->checkProperty, "1");
        slot.inUse = !slot.folder.empty() || slot.tooLong();
    }
    return list;
}

void ListedInstallations::logChosen(const Session& session) const
{
    std::string line;
    for (const ListedSlot& slot : slots_) {
        if (!slot.chosen || !slot.inUse) continue;
        const std::string folder = slot.tooLong() ? session.readWhole(slot.names->dirProperty) : slot.folder.str();
        line += concat(line.empty() ? "" : ", ", slot.names->dirProperty, "=", shown(folder));
    }
    session.log(concat("chosen listed installations: ", line.empty() ? "none" : line));
}

bool ListedInstallations::holds(std::string_view folder) const
{
    for (const ListedSlot& slot : slots_)
        if (slot.inUse && slot.folder == folder) return true;
    return false;
}

int ListedInstallations::usedCount() const
{
    int used = 0;
    for (const ListedSlot& slot : slots_) used += slot.inUse ? 1 : 0;
    return used;
}

bool ListedInstallations::add(const Session& session, std::string_view label, std::string_view folder,
                              const char* releaseProperty)
{
    for (ListedSlot& slot : slots_) {
        if (slot.inUse) continue;
        slot.inUse = true;
        slot.chosen = true;
        slot.folder.assign(folder);
        session.set(slot.names->checkProperty, "1");
        session.set(slot.names->labelProperty, label);
        if (releaseProperty != nullptr) session.set(releaseProperty, "1");
        session.set(slot.names->dirProperty, folder);
        session.log(concat("check box ", slot.names->checkProperty, " set: ", shown(label), " for ", escaped(folder)));
        setCheckBoxTooltip(session, slot.names->checkProperty, folder);
        return true;
    }
    return false;
}

void setCheckBoxTooltip(const Session& session, const char* checkProperty, std::string_view folder)
{
    const std::string query = checkBoxQuery(checkProperty);
    if (query.empty()) return;

    const std::string what = concat("the tooltip of check box ", checkProperty);
    platform::UniqueMsiHandle database(platform::msiGetActiveDatabase(session.handle()));
    if (!database) {
        session.log(concat("no active database: no tooltip for check box ", checkProperty));
        return;
    }
    platform::UniqueMsiHandle view;
    platform::Status status = platform::msiDatabaseOpenView(database.get(), query.c_str(), view.put());
    if (status == platform::kSuccess) status = platform::msiViewExecute(view.get(), 0);
    platform::UniqueMsiHandle record;
    if (status == platform::kSuccess) status = platform::msiViewFetch(view.get(), record.put());
    if (status != platform::kSuccess || !record) {
        if (status == platform::kNoMoreItems)
            session.log(concat("the dialog has no check box ", checkProperty, ": no tooltip"));
        else
            logFailed(session, status, "find the Control row for ", what);
        return;
    }

    // Only the first row changes. A row cannot be edited in place while the
    // installer runs, so it is replaced by a temporary copy with the tooltip.
    status = platform::msiViewModify(view.get(), platform::kModifyDelete, record.get());
    if (status != platform::kSuccess) logFailed(session, status, "delete the Control row for ", what);
    const std::string tooltip = std::string(folder) + "|";
    status = platform::msiRecordSetString(record.get(), kHelpColumn, tooltip.c_str());
    if (status != platform::kSuccess) logFailed(session, status, "set ", what);
    // The row is gone now: a failed insert would take the box off the dialog,
    // so it is tried once more.
    status = platform::msiViewModify(view.get(), platform::kModifyInsertTemporary, record.get());
    if (status != platform::kSuccess) {
        logFailed(session, status, "insert the Control row for ", what);
        status = platform::msiViewModify(view.get(), platform::kModifyInsertTemporary, record.get());
        if (status != platform::kSuccess) logFailed(session, status, "insert the Control row once more for ", what);
    }
    platform::msiViewModify(view.get(), platform::kModifyRefresh, record.get());
}

}  // namespace ca

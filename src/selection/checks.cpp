#include "selection/checks.h"

#include "core/log.h"
#include "model/chosen_releases.h"
#include "model/host_folder.h"

namespace ca {
namespace {

// The verdict on one folder; adds it to `checked` when it passes.
std::optional<Unwritable> check(const Session& session, const FolderProperty& folder, std::string& checked)
{
    if (folder.tooLong()) return Unwritable{folder.name, session.readWhole(folder.name), folder.tooLongText()};
    if (!isRegistrationFileWritable(session, folder.folder.view()))
        return Unwritable{folder.name, folder.folder.str(), "its protk.dat cannot be written"};
    checked += concat(checked.empty() ? "" : ", ", folder.name, "=", shown(folder.folder.view()));
    return std::nullopt;
}

}  // namespace

bool isChosenReleaseFolder(const Session& session, std::string_view folder)
{
    for (const Slot slot : kDuplicateCheckOrder) {
        const ReleaseSlot& release = releaseSlot(slot);
        PathBuffer releaseFolder;
        session.read(release.folderProperty, releaseFolder);
        if (session.equals(release.name, "1") && releaseFolder == folder) return true;
    }
    return false;
}

std::optional<Unwritable> firstUnwritableReleaseFolder(const Session& session, std::string& checked)
{
    std::optional<Unwritable> unwritable;
    forEachChosenRelease(session, kAccessCheckOrder, [&](const ReleaseSlot&, const FolderProperty& folder) {
        unwritable = check(session, folder, checked);
        return !unwritable;
    });
    if (unwritable) return unwritable;
    // The browsed slot's folder is tested whether or not its box is ticked.
    const FolderProperty browsed = readFolderProperty(session, kBrowsedFolderProperty);
    if (browsed.folder.empty() && !browsed.tooLong()) return std::nullopt;
    return check(session, browsed, checked);
}

std::optional<Unwritable> firstUnwritableListedFolder(const Session& session, const ListedInstallations& listed,
                                                      std::string& checked)
{
    for (const ListedSlot& slot : listed.slots()) {
        if (!slot.chosen || (slot.folder.empty() && !slot.tooLong())) continue;
        FolderProperty folder;
        folder.name = slot.names->dirProperty;
        folder.folder = slot.folder;
        folder.length = slot.folderLength;
        if (auto unwritable = check(session, folder, checked)) return unwritable;
    }
    return std::nullopt;
}

}  // namespace ca

// The release slots the user chose: a slot is chosen when its selection
// property is exactly "1", and counts when its folder property is set.
#pragma once

#include "core/session.h"
#include "model/release_table.h"

#include <array>
#include <string_view>

namespace ca {

// Calls visit(slot, folder) for each chosen release slot with a folder, in
// `order`; a visit that returns false ends the walk. A folder too long to
// take is visited too (empty, with its length): the caller gives the verdict.
template <typename Visit>
void forEachChosenRelease(const Session& session, const std::array<Slot, 7>& order, Visit visit)
{
    for (const Slot slot : order) {
        const ReleaseSlot& release = releaseSlot(slot);
        if (!session.equals(release.name, "1")) continue;
        const FolderProperty folder = readFolderProperty(session, release.folderProperty);
        if ((!folder.folder.empty() || folder.tooLong()) && !visit(release, folder)) return;
    }
}

// One line naming every chosen release folder, NAME="folder", in `order`.
void logChosenReleaseFolders(const Session& session, const std::array<Slot, 7>& order);
// One line naming every release slot's folder that is set, chosen or not.
void logReleaseFolders(const Session& session, const std::array<Slot, 7>& order);

// A chosen folder too long to take is a host left without the add-in: the
// package learns it from ORVELLA_INSTALL_ERROR, with the code the read gave.
void reportFolderTooLong(const Session& session, const FolderProperty& folder, std::string_view what);

}  // namespace ca

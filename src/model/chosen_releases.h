// The release slots the user chose: a slot is chosen when its selection
// property is exactly "1", and counts when its folder property is set.
#pragma once

#include "core/session.h"
#include "model/release_table.h"

#include <array>
#include <string_view>

namespace ca {

// Calls visit(slot, folder) for each chosen release slot with a folder, in
// `order`; a visit that returns false ends the walk.
template <typename Visit>
void forEachChosenRelease(const Session& session, const std::array<Slot, 7>& order, Visit visit)
{
    for (const Slot slot : order) {
        const ReleaseSlot& release = releaseSlot(slot);
        if (!session.equals(release.name, "1")) continue;
        PathBuffer folder;
        session.read(release.folderProperty, folder);
        if (!folder.empty() && !visit(release, folder)) return;
    }
}

}  // namespace ca

#include "selection/checks.h"

#include "model/host_folder.h"
#include "model/chosen_releases.h"

namespace ca {

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

std::optional<PathBuffer> firstUnwritableReleaseFolder(const Session& session)
{
    std::optional<PathBuffer> unwritable;
    forEachChosenRelease(session, kAccessCheckOrder, [&](const ReleaseSlot&, const PathBuffer& folder) {
        if (isRegistrationFileWritable(session, folder.view())) return true;
        unwritable = folder;
        return false;
    });
    return unwritable;
}

const ListedSlot* firstUnwritableListedFolder(const Session& session, const ListedInstallations& listed)
{
    for (const ListedSlot& slot : listed.slots())
        if (slot.chosen && !slot.folder.empty() && !isRegistrationFileWritable(session, slot.folder.view())) return &slot;
    return nullptr;
}

}  // namespace ca

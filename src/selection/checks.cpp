#include "selection/checks.h"

#include "model/host_folder.h"
#include "model/release_table.h"

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
    for (const Slot slot : kAccessCheckOrder) {
        const ReleaseSlot& release = releaseSlot(slot);
        if (!session.equals(release.name, "1")) continue;
        PathBuffer folder;
        session.read(release.folderProperty, folder);
        if (!folder.empty() && !isRegistrationFileWritable(folder.view())) return folder;
    }
    return std::nullopt;
}

bool anyUnwritableListedFolder(const ListedInstallations& listed)
{
    for (const ListedSlot& slot : listed.slots())
        if (slot.chosen && !slot.folder.empty() && !isRegistrationFileWritable(slot.folder.view())) return true;
    return false;
}

}  // namespace ca

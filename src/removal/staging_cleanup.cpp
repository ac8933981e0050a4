#include "core/file_work.h"
#include "core/log.h"
#include "core/paths.h"
#include "model/host_folder.h"
#include "model/manifest.h"
#include "platform/files.h"
#include "removal/staging_cleanup.h"
#include "removal/tree_removal.h"

#include <string>

namespace ca {

void clearStagingArea(const Session& session, std::string_view staging, Manifest manifest)
{
    const HostFolder area = HostFolder::given(staging);
    PathBuffer objects;
    if (!area || !area.objectPath("", objects)) {
        session.log(concat("no staging area to clear: the paths in ", shown(staging), " do not fit 259 characters"));
        return;
    }
    const auto resolve = [&](const Place& place, PathBuffer& path) {
        path.clear();
        const bool made = place.root == Root::stagedObjects ? path.appendAll(objects.view(), place.path)
                                                            : area.path(place.path, path);
        stripTrailingSeparator(path);
        return made;
    };
    FileWork work(session);
    PathBuffer path;
    for (const ManifestEntry& entry : manifest) {
        if (entry.staging == Staging::kept || entry.item == Item::folder || entry.item == Item::folderFiles) continue;
        if (entry.staged.root != Root::releaseBuild) {
            if (resolve(entry.staged, path))
                work.deleteFile(path.c_str());
            else
                work.pathTooLong();
            continue;
        }
        // A file of the release builds, in the staging folder of each release it is for.
        for (const Slot each : kStagingCleanupOrder) {
            const ReleaseSlot& slot = releaseSlot(each);
            if (!includes(entry.releases, slot.code) || includes(kKeptBuilds, slot.code)) continue;
            const std::string_view sub = slot.stagingSubfolder;
            if (area.path(std::string(sub) + (sub.empty() ? "" : "\\") + std::string(entry.staged.path), path))
                work.deleteFile(path.c_str());
            else
                work.pathTooLong();
        }
    }
    for (const StagedFolder& folder : stagedFolders()) {
        if (!resolve(folder.place, path)) {
            work.pathTooLong();
            continue;
        }
        if (folder.cleanup == FolderCleanup::emptied)
            emptyAndRemoveFolder(work, path.view());
        else
            work.removeFolder(path.c_str());
    }
    for (const Slot each : kStagingCleanupOrder) {
        const ReleaseSlot& slot = releaseSlot(each);
        if (*slot.stagingSubfolder == '\0' || includes(kKeptBuilds, slot.code)) continue;
        if (area.path(slot.stagingSubfolder, path))
            work.removeFolder(path.c_str());
        else
            work.pathTooLong();
    }
    work.summary(concat("clearing of the staging area ", escaped(staging)));
}

}  // namespace ca

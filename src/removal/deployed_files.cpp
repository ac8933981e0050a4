#include "removal/deployed_files.h"

#include "core/paths.h"
#include "model/manifest.h"
#include "platform/files.h"
#include "removal/tree_removal.h"

#include <string>

namespace ca {
namespace {

bool isCreatedFolder(std::string_view path)
{
    for (const ManifestEntry& entry : addInManifest())
        if (entry.item == Item::folder && entry.installed.path == path) return true;
    return false;
}

std::string_view parentOf(std::string_view path) { return path.substr(0, path.rfind('\\')); }

void deleteInstalled(const HostFolder& host, const Place& place)
{
    PathBuffer path;
    const bool made = place.root == Root::hostObjects ? host.objectPath(place.path, path) : host.path(place.path, path);
    if (made) platform::deleteFile(path.c_str());
}

void removeEmptyFolder(const HostFolder& host, const Place& place)
{
    PathBuffer path;
    if (place.root == Root::hostObjects && host.objectPath(place.path, path)) platform::removeDirectory(path.c_str());
}

// A resource folder is emptied and removed with what is left empty above it,
// its parent too unless that is a folder the deployment created (a language
// folder, which stays).
void removeResources(const Session& session, const HostFolder& host, bool inCreatedFolder)
{
    for (const ManifestEntry& entry : addInManifest()) {
        if (entry.item != Item::folderFiles) continue;
        const bool created = isCreatedFolder(parentOf(entry.installed.path));
        if (created == inCreatedFolder) removeResourceTree(session, host.base().view(), entry.installed.path, !created);
    }
}

}  // namespace

void removeDeployedFiles(const Session& session, std::string_view folder,
                         const std::function<void(std::string_view base)>& unregister)
{
    // An empty recorded folder names no installation.
    const HostFolder host = HostFolder::given(folder);
    if (!host) return;
    // Every file under its installed name, whatever release the folder holds:
    // deleting what is not there is harmless.
    for (const ManifestEntry& entry : addInManifest())
        if (entry.item == Item::file) deleteInstalled(host, entry.installed);
    for (const ManifestEntry& entry : addInManifest())
        if (entry.item == Item::folder) removeEmptyFolder(host, entry.installed);
    removeResources(session, host, false);
    unregister(host.base().view());
    removeResources(session, host, true);
}

void clearStagingArea(const Session& session, std::string_view staging)
{
    const HostFolder area = HostFolder::given(staging);
    PathBuffer objects;
    if (!area || !area.objectPath("", objects)) return;
    const auto resolve = [&](const Place& place, PathBuffer& path) {
        path.clear();
        const bool made = place.root == Root::stagedObjects ? path.appendAll(objects.view(), place.path)
                                                            : area.path(place.path, path);
        stripTrailingSeparator(path);
        return made;
    };
    PathBuffer path;
    for (const ManifestEntry& entry : addInManifest()) {
        if (entry.staging == Staging::kept || entry.item == Item::folder || entry.item == Item::folderFiles) continue;
        if (entry.staged.root != Root::releaseBuild) {
            if (resolve(entry.staged, path)) platform::deleteFile(path.c_str());
            continue;
        }
        // A file of the release builds, in the staging folder of each release it is for.
        for (const ReleaseSlot& slot : kReleaseSlots) {
            if (!includes(entry.releases, slot.code) || includes(kKeptBuilds, slot.code)) continue;
            const std::string_view sub = slot.stagingSubfolder;
            if (area.path(std::string(sub) + (sub.empty() ? "" : "\\") + std::string(entry.staged.path), path))
                platform::deleteFile(path.c_str());
        }
    }
    for (const StagedFolder& folder : stagedFolders()) {
        if (!resolve(folder.place, path)) continue;
        if (folder.cleanup == FolderCleanup::emptied)
            emptyAndRemoveFolder(session, path.view());
        else
            platform::removeDirectory(path.c_str());
    }
    for (const ReleaseSlot& slot : kReleaseSlots)
        if (*slot.stagingSubfolder != '\0' && !includes(kKeptBuilds, slot.code) && area.path(slot.stagingSubfolder, path))
            platform::removeDirectory(path.c_str());
}

void removePrivateRuntime(const Session& /*session*/, const HostFolder& wildfire5)
{
    for (const RuntimeFolder& runtime : privateRuntimeFolders()) {
        PathBuffer folder;
        if (!wildfire5.objectPath(runtime.name, folder)) continue;
        for (const std::string_view file : runtime.files) {
            PathBuffer path(folder.view());
            if (path.appendAll("\\", file)) platform::deleteFile(path.c_str());
        }
        platform::removeDirectory(folder.c_str());
    }
    PathBuffer path;
    if (wildfire5.path(kObjectFolder, path)) platform::removeDirectory(path.c_str());
    if (wildfire5.path(kMachineFolder, path)) platform::removeDirectory(path.c_str());
    platform::removeDirectory(wildfire5.base().c_str());
}

}  // namespace ca

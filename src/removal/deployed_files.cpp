#include "removal/deployed_files.h"

#include "core/paths.h"
#include "model/host_survey.h"
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

// The add-in's files in a resource folder: every file there that the host
// did not have before.
void deleteAddedFiles(const HostFolder& host, const std::string& folder, const HostSurvey& before)
{
    PathBuffer pattern;
    if (!host.path(folder + "*", pattern)) return;
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first(pattern.c_str(), entry);
    for (bool more = static_cast<bool>(listing); more; more = listing.next(entry) == platform::kSuccess) {
        PathBuffer path;
        if (!entry.isDirectory && !before.had(folder + entry.name) && host.path(folder + entry.name, path))
            platform::deleteFile(path.c_str());
    }
}

void removeWhatWasAdded(const HostFolder& host, const HostSurvey& before)
{
    const auto manifest = addInManifest();
    PathBuffer path;
    for (const ManifestEntry& entry : manifest) {
        const std::string place = placeBelowHost(entry.installed);
        if (entry.item == Item::file && !before.had(place) && host.path(place, path))
            platform::deleteFile(path.c_str());
        if (entry.item == Item::folderFiles) deleteAddedFiles(host, place + "\\", before);
    }
    // Folders after what they hold: the manifest lists each before its contents.
    for (auto entry = manifest.rbegin(); entry != manifest.rend(); ++entry) {
        const std::string place = placeBelowHost(entry->installed);
        if ((entry->item == Item::folder || entry->item == Item::folderFiles) && !before.had(place + "\\") &&
            host.path(place, path))
            platform::removeDirectory(path.c_str());
    }
}

}  // namespace

void removeDeployedFiles(const Session& session, std::string_view folder, const HostSurvey* before,
                         const Unregister& unregister)
{
    // An empty recorded folder names no installation.
    const HostFolder host = HostFolder::given(folder);
    if (!host) return;
    if (before != nullptr) {
        removeWhatWasAdded(host, *before);
        unregister(host.base().view(), before->had(kRegistrationFile));
        return;
    }
    // Every file under its installed name, whatever release the folder holds:
    // deleting what is not there is harmless.
    for (const ManifestEntry& entry : addInManifest())
        if (entry.item == Item::file) deleteInstalled(host, entry.installed);
    for (const ManifestEntry& entry : addInManifest())
        if (entry.item == Item::folder) removeEmptyFolder(host, entry.installed);
    removeResources(session, host, false);
    unregister(host.base().view(), std::nullopt);
    removeResources(session, host, true);
}

void removeMessageResources(const Session& session, std::string_view recordedFolder, const HostSurvey* before)
{
    if (before == nullptr) {
        removeResourceTree(session, recordedFolder, kMessageResources, true);
        return;
    }
    const HostFolder host = HostFolder::stripped(recordedFolder);
    const std::string folder = std::string(kMessageResources) + "\\";
    deleteAddedFiles(host, folder, *before);
    PathBuffer path;
    if (!before->had(folder) && host.path(kMessageResources, path)) platform::removeDirectory(path.c_str());
}

}  // namespace ca

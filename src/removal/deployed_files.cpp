#include "removal/deployed_files.h"

#include "core/file_work.h"
#include "core/log.h"
#include "core/paths.h"
#include "model/host_survey.h"
#include "model/manifest.h"
#include "platform/errors.h"
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

void deleteInstalled(FileWork& work, const HostFolder& host, const Place& place)
{
    PathBuffer path;
    const bool made = place.root == Root::hostObjects ? host.objectPath(place.path, path) : host.path(place.path, path);
    if (made) work.deleteFile(path.c_str());
}

void removeEmptyFolder(FileWork& work, const HostFolder& host, const Place& place)
{
    PathBuffer path;
    if (place.root == Root::hostObjects && host.objectPath(place.path, path)) work.removeFolder(path.c_str());
}

// A resource folder is emptied and removed with what is left empty above it,
// its parent too unless that is a folder the deployment created (a language
// folder, which stays).
void removeResources(FileWork& work, const HostFolder& host, bool inCreatedFolder)
{
    for (const ManifestEntry& entry : addInManifest()) {
        if (entry.item != Item::folderFiles) continue;
        const bool created = isCreatedFolder(parentOf(entry.installed.path));
        if (created == inCreatedFolder) removeResourceTree(work, host.base().view(), entry.installed.path, !created);
    }
}

// The add-in's files in a resource folder: every file there that the host
// did not have before.
void deleteAddedFiles(FileWork& work, const HostFolder& host, const std::string& folder, const HostSurvey& before)
{
    PathBuffer pattern;
    if (!host.path(folder + "*", pattern)) return;
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first(pattern.c_str(), entry);
    if (!listing) {
        // A folder the deployment never made has nothing to delete.
        const platform::Status code = platform::lastError();
        if (code != platform::kPathNotFound && code != platform::kFileNotFound)
            logFailed(work.session(), code, "list ", escaped(pattern.view()));
    }
    for (bool more = static_cast<bool>(listing); more;) {
        PathBuffer path;
        if (!entry.isDirectory && !before.had(folder + entry.name) && host.path(folder + entry.name, path))
            work.deleteFile(path.c_str());
        const platform::Status status = listing.next(entry);
        more = status == platform::kSuccess;
        if (!more && status != platform::kNoMoreFiles) logFailed(work.session(), status, "list ", escaped(pattern.view()));
    }
}

void removeWhatWasAdded(FileWork& work, const HostFolder& host, const HostSurvey& before)
{
    const auto manifest = addInManifest();
    PathBuffer path;
    for (const ManifestEntry& entry : manifest) {
        const std::string place = placeBelowHost(entry.installed);
        if (entry.item == Item::file && !before.had(place) && host.path(place, path)) work.deleteFile(path.c_str());
        if (entry.item == Item::folderFiles) deleteAddedFiles(work, host, place + "\\", before);
    }
    // Folders after what they hold: the manifest lists each before its contents.
    for (auto entry = manifest.rbegin(); entry != manifest.rend(); ++entry) {
        const std::string place = placeBelowHost(entry->installed);
        if ((entry->item == Item::folder || entry->item == Item::folderFiles) && !before.had(place + "\\") &&
            host.path(place, path))
            work.removeFolder(path.c_str());
    }
}

}  // namespace

void removeDeployedFiles(const Session& session, std::string_view folder, const HostSurvey* before,
                         const Unregister& unregister)
{
    // An empty recorded folder names no installation.
    const HostFolder host = HostFolder::given(folder);
    if (!host) return;
    FileWork work(session, folder);
    const std::string what = concat("removed the add-in from ", escaped(folder));
    if (before != nullptr) {
        removeWhatWasAdded(work, host, *before);
        work.summary(concat(what, " (the host had ", std::to_string(before->places().size()),
                            " of its places before, which stay)"));
        unregister(host.base().view(), before->had(kRegistrationFile));
        return;
    }
    // Every file under its installed name, whatever release the folder holds:
    // deleting what is not there is harmless.
    for (const ManifestEntry& entry : addInManifest())
        if (entry.item == Item::file) deleteInstalled(work, host, entry.installed);
    for (const ManifestEntry& entry : addInManifest())
        if (entry.item == Item::folder) removeEmptyFolder(work, host, entry.installed);
    removeResources(work, host, false);
    unregister(host.base().view(), std::nullopt);
    removeResources(work, host, true);
    work.summary(concat(what, ", which has no record of what the host had before"));
}

void removeMessageResources(const Session& session, std::string_view recordedFolder, const HostSurvey* before)
{
    if (before == nullptr) {
        removeResourceTree(session, recordedFolder, kMessageResources, true);
        return;
    }
    FileWork work(session, recordedFolder);
    const HostFolder host = HostFolder::stripped(recordedFolder);
    const std::string folder = std::string(kMessageResources) + "\\";
    deleteAddedFiles(work, host, folder, *before);
    PathBuffer path;
    if (!before->had(folder) && host.path(kMessageResources, path)) work.removeFolder(path.c_str());
    work.summary(concat("removed the add-in's resources from ", escaped(host.base().view()), kMessageResources));
}

}  // namespace ca

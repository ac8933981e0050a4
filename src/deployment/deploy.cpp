#include "deployment/deploy.h"

#include "core/paths.h"
#include "platform/files.h"

#include <string>

namespace ca {
namespace {

// The places a deployment reads from and writes to.
struct Roots {
    PathBuffer staging;        // S, ends in "\"
    PathBuffer stagedObjects;  // S + "x86e_win64\obj\"
    PathBuffer build;          // the release build's staging folder, ends in "\"; empty: none
    const HostFolder& host;
};

// root + path, or false when the root is missing or the path does not fit.
bool resolve(const Roots& roots, const Place& place, PathBuffer& path)
{
    path.clear();
    switch (place.root) {
    case Root::staging: return path.appendAll(roots.staging.view(), place.path);
    case Root::stagedObjects: return path.appendAll(roots.stagedObjects.view(), place.path);
    case Root::releaseBuild: return !roots.build.empty() && path.appendAll(roots.build.view(), place.path);
    case Root::host: return roots.host.path(place.path, path);
    case Root::hostObjects: return roots.host.objectPath(place.path, path);
    }
    return false;
}

void deployEntry(const Session& session, const ManifestEntry& entry, const Roots& roots, ReleaseCode code)
{
    if (!includes(entry.releases, code)) return;
    PathBuffer from;
    PathBuffer to;
    if (!resolve(roots, entry.installed, to)) return;
    switch (entry.item) {
    case Item::file:
        if (resolve(roots, entry.staged, from)) platform::copyFile(from.c_str(), to.c_str(), false);
        return;
    case Item::folder: platform::makeDirectory(to.c_str()); return;
    case Item::folderFiles:
        if (resolve(roots, entry.staged, from)) copyFolderFiles(session, from.view(), to.view());
        return;
    case Item::stagedOnly: return;
    }
}

}  // namespace

bool stagingFolder(PathBuffer& folder)
{
    folder.clear();
    std::string value;
    if (!platform::getEnvironmentVariable("ALLUSERSPROFILE", value) || value.empty()) return false;
    if (folder.appendAll(std::string_view(value), "\\")) return true;
    folder.clear();
    return false;
}

bool deployToInstallation(const Session& session, const HostFolder& host, ReleaseCode code)
{
    // Without a host folder or a staging area there is nothing to copy from or
    // to; an empty text would name the root of the current drive.
    Roots roots{{}, {}, {}, host};
    PathBuffer objects;
    if (!host || !stagingFolder(roots.staging) || !host.objectPath("", objects)) return false;
    if (!roots.stagedObjects.appendAll(roots.staging.view(), kObjectFolder, "\\")) return false;
    if (const ReleaseSlot* slot = buildSlotOf(code)) {
        const std::string_view sub = slot->stagingSubfolder;
        if (!roots.build.appendAll(roots.staging.view(), sub, sub.empty() ? "" : "\\")) roots.build.clear();
    }
    for (const ManifestEntry& entry : addInManifest()) deployEntry(session, entry, roots, code);
    return true;
}

bool copyFolderFiles(const Session& /*session*/, std::string_view source, std::string_view destination)
{
    if (source.empty() || destination.empty()) return false;
    const std::string target(destination);
    platform::makeDirectory(target.c_str());
    PathBuffer pattern;
    if (!pattern.appendAll(source, "\\*")) return false;
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first(pattern.c_str(), entry);
    if (!listing) return false;
    for (;;) {
        if (!entry.isDirectory) {
            PathBuffer from;
            PathBuffer to;
            if (from.appendAll(source, "\\", std::string_view(entry.name)) &&
                to.appendAll(destination, "\\", std::string_view(entry.name)))
                platform::copyFile(from.c_str(), to.c_str(), false);
        }
        const platform::Status status = listing.next(entry);
        if (status == platform::kNoMoreFiles) return true;
        if (status != platform::kSuccess) return false;
    }
}

void copyResources(const Session& session, std::string_view source, const HostFolder& host)
{
    PathBuffer target;
    if (!source.empty() && host.path(kMessageResources, target)) copyFolderFiles(session, source, target.view());
}

void stageRuntime(const Session& /*session*/, const RuntimeFolder& runtime, std::string_view wildfire5Folder)
{
    PathBuffer source;
    PathBuffer target;
    const HostFolder host = HostFolder::stripped(wildfire5Folder);
    if (!stagingFolder(source) || !source.appendAll(releaseSlot(Slot::proeWf5).stagingSubfolder, "\\", runtime.name, "\\"))
        return;
    if (!host.objectPath(runtime.name, target)) return;
    if (hasHostExecutable(wildfire5Folder)) return;

    platform::makeDirectory(target.c_str());
    if (!target.append("\\")) return;
    for (const std::string_view file : runtime.files) {
        PathBuffer from(source.view());
        PathBuffer to(target.view());
        if (from.append(file) && to.append(file)) platform::copyFile(from.c_str(), to.c_str(), false);
    }
}

bool copyModule(const Session& /*session*/, std::string_view buildFolder, const HostFolder& host)
{
    PathBuffer source;
    PathBuffer target;
    if (!HostFolder::stripped(buildFolder).path(kModuleName, source) || !host.objectPath(kModuleName, target))
        return false;
    return platform::copyFile(source.c_str(), target.c_str(), false);
}

}  // namespace ca

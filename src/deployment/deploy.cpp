#include "deployment/deploy.h"

#include "core/log.h"
#include "core/paths.h"
#include "platform/errors.h"
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

// The host has the folder that `place` goes into.
bool hasFolderFor(const HostFolder& host, const std::string& place)
{
    PathBuffer folder;
    if (!host.path(place.substr(0, place.rfind('\\')), folder)) return false;
    const std::uint32_t attributes = platform::getFileAttributes(folder.c_str());
    return attributes != platform::kInvalidFileAttributes && (attributes & platform::kFileAttributeDirectory) != 0;
}

void deployEntry(const Session& session, HostWrite& write, const ManifestEntry& entry, const Roots& roots,
                 ReleaseCode code)
{
    if (!includes(entry.releases, code) || entry.item == Item::stagedOnly) return;
    PathBuffer from;
    const std::string place = placeBelowHost(entry.installed);
    if (entry.target == Target::whereTheHostHasItsFolder && !hasFolderFor(roots.host, place)) {
        session.log(concat("no ", escaped(place), " for ", escaped(roots.host.text()), ": the host has no folder for it"));
        return;
    }
    switch (entry.item) {
    case Item::file:
        if (resolve(roots, entry.staged, from)) write.copy(from.view(), place);
        return;
    case Item::folder: write.folder(place); return;
    case Item::folderFiles:
        if (resolve(roots, entry.staged, from)) write.copyFiles(from.view(), place);
        return;
    case Item::stagedOnly: return;
    }
}

}  // namespace

bool stagingFolder(const Session& session, PathBuffer& folder)
{
    folder.clear();
    std::string value;
    if (!platform::getEnvironmentVariable("ALLUSERSPROFILE", value)) {
        logFailed(session, platform::lastError(), "read the environment variable ALLUSERSPROFILE for the staging area");
        return false;
    }
    if (!value.empty() && folder.appendAll(std::string_view(value), "\\")) return true;
    session.log(concat("the staging area ALLUSERSPROFILE=", shown(value), " names no folder of at most 259 characters"));
    folder.clear();
    return false;
}

bool deployToInstallation(const Session& session, const HostFolder& host, ReleaseCode code, Manifest manifest,
                          SourceDigests& digests)
{
    // Without a host folder or a staging area there is nothing to copy from or
    // to; an empty text would name the root of the current drive.
    Roots roots{{}, {}, {}, host};
    PathBuffer objects;
    if (!host || !host.objectPath("", objects)) {
        session.log(concat("no deployment into ", shown(host.text()), ": its object folder's path does not fit"));
        return false;
    }
    if (!stagingFolder(session, roots.staging)) return false;
    if (!roots.stagedObjects.appendAll(roots.staging.view(), kObjectFolder, "\\")) {
        session.log(concat("no deployment into ", shown(host.text()), ": the staged ", kObjectFolder,
                           " folder's path in ", shown(roots.staging.view()), " does not fit"));
        return false;
    }
    const ReleaseSlot* slot = buildSlotOf(code);
    if (slot != nullptr) {
        const std::string_view sub = slot->stagingSubfolder;
        if (!roots.build.appendAll(roots.staging.view(), sub, sub.empty() ? "" : "\\")) roots.build.clear();
    }
    HostWrite write(session, host, Domain::deployment, digests);
    for (const ManifestEntry& entry : manifest) deployEntry(session, write, entry, roots, code);
    const std::string build = slot != nullptr ? concat("the ", slot->release, " build") : "no build of the module";
    // What failed is in ORVELLA_INSTALL_ERROR; the deployment was tried.
    write.carryOut(concat("deployment into ", escaped(host.text()), " from ", escaped(roots.staging.view()), " with ", build));
    return true;
}

bool copyResources(const Session& session, std::string_view source, const HostFolder& host, SourceDigests& digests)
{
    if (source.empty() || !host) return false;
    HostWrite write(session, host, Domain::resources, digests);
    write.copyFiles(source, kMessageResources);
    return write.carryOut(concat("copy into ", escaped(host.base().view()), kMessageResources, " from ", escaped(source)));
}

bool stageRuntime(const Session& session, const RuntimeFolder& runtime, std::string_view wildfire5Folder,
                  SourceDigests& digests)
{
    PathBuffer source;
    const HostFolder host = HostFolder::stripped(wildfire5Folder);
    if (!stagingFolder(session, source) ||
        !source.appendAll(releaseSlot(Slot::proeWf5).stagingSubfolder, "\\", runtime.name, "\\")) {
        session.log(concat("no ", runtime.name, " staged: its staged folder's path in ", shown(source.view()),
                           " does not fit 259 characters"));
        return false;
    }
    if (hasHostExecutable(wildfire5Folder)) {
        session.log(concat("no ", runtime.name, " for ", escaped(wildfire5Folder), ": it holds the host executable"));
        return true;
    }
    HostWrite write(session, host, Domain::runtime, digests);
    const std::string folder = concat(kObjectFolder, "\\", runtime.name);
    write.folder(folder);
    for (const std::string_view file : runtime.files) write.copy(concat(source.view(), file), concat(folder, "\\", file));
    return write.carryOut(concat("runtime ", runtime.name, " into ", escaped(host.base().view()), folder));
}

bool copyModule(const Session& session, std::string_view buildFolder, const HostFolder& host, SourceDigests& digests)
{
    PathBuffer source;
    if (!host) return false;
    if (!HostFolder::stripped(buildFolder).path(kModuleName, source)) {
        session.log(concat("no module copied: the path of ", kModuleName, " in ", shown(buildFolder),
                           " does not fit 259 characters"));
        return false;
    }
    HostWrite write(session, host, Domain::deployment, digests);
    write.copy(source.view(), concat(kObjectFolder, "\\", kModuleName));
    return write.carryOut(concat("copy of the module from ", escaped(source.view()), " into ", escaped(host.base().view()),
                                 kObjectFolder));
}

bool recordEntryAhead(const Session& session, std::string_view folder)
{
    SourceDigests none;
    const HostFolder host = HostFolder::stripped(folder);
    // A folder whose paths do not fit takes nothing to record: the
    // registration that follows tells why it cannot take the entry either.
    if (!host) return !folder.empty();
    HostWrite write(session, host, Domain::registration, none);
    write.entry();
    return write.carryOut("");
}

}  // namespace ca

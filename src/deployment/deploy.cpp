#include "deployment/deploy.h"

#include "core/file_work.h"
#include "core/log.h"
#include "core/outcome.h"
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

// The files, not the subfolders, of `source` into `destination`, which is
// created first (one level). False when the source cannot be listed or the
// listing broke off; the failure is logged.
bool copyFiles(const Session& session, FileWork& work, std::string_view source, std::string_view destination)
{
    if (source.empty() || destination.empty()) return false;
    const std::string target(destination);
    work.makeFolder(target.c_str());
    PathBuffer pattern;
    if (!pattern.appendAll(source, "\\*")) return false;
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first(pattern.c_str(), entry);
    if (!listing) return logFailed(session, platform::lastError(), "list ", escaped(pattern.view())), false;
    for (;;) {
        if (!entry.isDirectory) {
            PathBuffer from;
            PathBuffer to;
            if (from.appendAll(source, "\\", std::string_view(entry.name)) &&
                to.appendAll(destination, "\\", std::string_view(entry.name)))
                work.copy(from.c_str(), to.c_str());
        }
        const platform::Status status = listing.next(entry);
        if (status == platform::kNoMoreFiles) return true;
        if (status != platform::kSuccess) return logFailed(session, status, "list ", escaped(pattern.view())), false;
    }
}

void deployEntry(const Session& session, FileWork& work, const ManifestEntry& entry, const Roots& roots,
                 ReleaseCode code)
{
    if (!includes(entry.releases, code)) return;
    PathBuffer from;
    PathBuffer to;
    if (!resolve(roots, entry.installed, to)) return;
    switch (entry.item) {
    case Item::file:
        if (resolve(roots, entry.staged, from)) work.copy(from.c_str(), to.c_str());
        return;
    case Item::folder: work.makeFolder(to.c_str()); return;
    case Item::folderFiles:
        if (resolve(roots, entry.staged, from)) copyFiles(session, work, from.view(), to.view());
        return;
    case Item::stagedOnly: return;
    }
}

// A host that did not get every file is left without the add-in: the
// package must hear of it.
void reportFailure(const Session& session, const FileWork& work, std::string_view host)
{
    const auto& failure = work.firstFailure();
    if (!failure) return;
    const char* reason = failure->call == "create folder" ? "could not be created" : "could not be written";
    reportHostFailure(session, kInstallErrorProperty, host, escaped(failure->path), reason, failure->code);
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

bool deployToInstallation(const Session& session, const HostFolder& host, ReleaseCode code)
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
    if (!roots.stagedObjects.appendAll(roots.staging.view(), kObjectFolder, "\\")) return false;
    const ReleaseSlot* slot = buildSlotOf(code);
    if (slot != nullptr) {
        const std::string_view sub = slot->stagingSubfolder;
        if (!roots.build.appendAll(roots.staging.view(), sub, sub.empty() ? "" : "\\")) roots.build.clear();
    }
    FileWork work(session, host.text());
    for (const ManifestEntry& entry : addInManifest()) deployEntry(session, work, entry, roots, code);
    const std::string build = slot != nullptr ? concat("the ", slot->release, " build") : "no build of the module";
    work.summary(concat("deployed into ", escaped(host.text()), " from ", escaped(roots.staging.view()), " with ", build));
    reportFailure(session, work, host.text());
    return true;
}

bool copyFolderFiles(const Session& session, std::string_view source, std::string_view destination,
                     std::string_view host)
{
    FileWork work(session, host);
    const bool listed = copyFiles(session, work, source, destination);
    work.summary(concat("copied ", escaped(source), " into ", escaped(destination)));
    reportFailure(session, work, destination);
    return listed;
}

void copyResources(const Session& session, std::string_view source, const HostFolder& host)
{
    PathBuffer target;
    if (!source.empty() && host.path(kMessageResources, target)) copyFolderFiles(session, source, target.view(), host.text());
}

void stageRuntime(const Session& session, const RuntimeFolder& runtime, std::string_view wildfire5Folder)
{
    PathBuffer source;
    PathBuffer target;
    const HostFolder host = HostFolder::stripped(wildfire5Folder);
    if (!stagingFolder(session, source) ||
        !source.appendAll(releaseSlot(Slot::proeWf5).stagingSubfolder, "\\", runtime.name, "\\"))
        return;
    if (!host.objectPath(runtime.name, target)) return;
    if (hasHostExecutable(wildfire5Folder))
        return session.log(concat("no ", runtime.name, " for ", escaped(wildfire5Folder), ": it holds the host executable"));

    FileWork work(session, wildfire5Folder);
    work.makeFolder(target.c_str());
    const std::string what = concat("runtime ", runtime.name, " staged into ", escaped(target.view()));
    if (!target.append("\\")) return;
    for (const std::string_view file : runtime.files) {
        PathBuffer from(source.view());
        PathBuffer to(target.view());
        if (from.append(file) && to.append(file)) work.copy(from.c_str(), to.c_str());
    }
    work.summary(what);
    reportFailure(session, work, wildfire5Folder);
}

bool copyModule(const Session& session, std::string_view buildFolder, const HostFolder& host)
{
    PathBuffer source;
    PathBuffer target;
    if (!HostFolder::stripped(buildFolder).path(kModuleName, source) || !host.objectPath(kModuleName, target))
        return false;
    FileWork work(session, host.text());
    const FileResult copied = work.copy(source.c_str(), target.c_str());
    if (!copied) return reportFailure(session, work, host.text()), false;
    if (!copied.atRestart())
        session.log(concat("module copied from ", escaped(source.view()), " to ", escaped(target.view())));
    return true;
}

}  // namespace ca

#include "selection/files_in_use.h"

#include "core/fixed_string.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/text.h"
#include "model/chosen_releases.h"
#include "model/host_folder.h"
#include "model/manifest.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <string>
#include <vector>

namespace ca {
namespace {

struct InUse {
    std::string first;
    int count = 0;
};

void probe(const PathBuffer& path, InUse& found)
{
    // A missing file is in nobody's use: no need to open it.
    if (path.empty() || platform::getFileAttributes(path.c_str()) == platform::kInvalidFileAttributes) return;
    if (platform::isFileInUse(path.c_str()) && found.count++ == 0) found.first = path.str();
}

// Every file in a folder that the add-in fills with a staged folder's files:
// what the staging area will hold is not known before the installation
// places it, so each file there is asked.
void probeFolder(const Session& session, const HostFolder& host, std::string_view folder, InUse& found)
{
    PathBuffer pattern;
    if (!host.path(concat(folder, "\\*"), pattern)) return;
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first(pattern.c_str(), entry);
    if (!listing) {
        const platform::Status code = platform::lastError();
        if (code != platform::kFileNotFound && code != platform::kPathNotFound)
            logFailed(session, code, "list ", escaped(pattern.view()));
    }
    for (bool more = static_cast<bool>(listing); more; more = listing.next(entry) == platform::kSuccess) {
        PathBuffer path;
        if (!entry.isDirectory && host.path(concat(folder, "\\", entry.name), path)) probe(path, found);
    }
}

bool place(const HostFolder& host, const Place& at, PathBuffer& path)
{
    if (at.root == Root::hostObjects) return host.objectPath(at.path, path);
    return at.root == Root::host && !at.path.empty() && host.path(at.path, path);
}

// FILESINUSE less a folder named there already (case and one trailing separator aside).
bool named(std::string_view list, std::string_view folder)
{
    const auto key = [](std::string_view text) {
        std::string out(text);
        stripTrailingSeparator(out);
        return lowerCased(out);
    };
    const std::string wanted = key(folder);
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find("; ", start), list.size());
        if (key(list.substr(start, end - start)) == wanted) return true;
        start = end + 2;
    }
    return false;
}

// Names the folder in FILESINUSE when files of the add-in in it are in use.
void consider(const Session& session, std::string_view folder)
{
    FixedString<2048> list;
    session.read(kFilesInUseProperty, list);
    if (named(list.view(), folder) || !hasFilesInUse(session, folder)) return;
    const std::string value = list.empty() ? std::string(folder) : concat(list.view(), "; ", folder);
    session.set(kFilesInUseProperty, value);
    session.log(concat(kFilesInUseProperty, " set to ", shown(value)));
}

}  // namespace

bool hasFilesInUse(const Session& session, std::string_view folder)
{
    const HostFolder host = HostFolder::stripped(folder);
    if (!host) return false;
    InUse found;
    for (const ManifestEntry& entry : addInManifest()) {
        PathBuffer path;
        if (entry.item == Item::file && place(host, entry.installed, path)) probe(path, found);
        if (entry.item == Item::folderFiles && entry.installed.root == Root::host) probeFolder(session, host, entry.installed.path, found);
    }
    for (const RuntimeFolder& runtime : privateRuntimeFolders())
        for (const std::string_view file : runtime.files) {
            PathBuffer path;
            if (host.objectPath(concat(runtime.name, "\\", file), path)) probe(path, found);
        }
    if (found.count == 0) return false;
    const std::string more = found.count == 1 ? "" : concat(" (and ", std::to_string(found.count - 1), " more)");
    session.log(concat(escaped(folder), ": the add-in's ", escaped(found.first), more,
                       " in use: replaced or deleted only at the next restart"));
    return true;
}

void publishReleaseFilesInUse(const Session& session)
{
    session.set(kFilesInUseProperty, "");
    // A folder too long to take holds nothing the add-in could replace.
    forEachChosenRelease(session, kAccessCheckOrder, [&](const ReleaseSlot&, const FolderProperty& folder) {
        if (!folder.folder.empty()) consider(session, folder.folder.view());
        return true;
    });
    PathBuffer browsed;
    session.read(kBrowsedFolderProperty, browsed);
    if (!browsed.empty() && session.equals(kBrowsedSlot, "1")) consider(session, browsed.view());
}

void addListedFilesInUse(const Session& session, const ListedInstallations& listed)
{
    for (const ListedSlot& slot : listed.slots())
        if (slot.chosen && !slot.folder.empty()) consider(session, slot.folder.view());
}

}  // namespace ca

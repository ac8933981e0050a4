#include "removal/tree_removal.h"

#include "core/fixed_string.h"
#include "core/working_directory.h"
#include "model/host_folder.h"
#include "platform/files.h"

namespace ca {
namespace {

// Deletes every file listed in the current folder, which is `folder`; folders,
// "." and ".." included, are not files and stay.
void deleteListedFiles(std::string_view folder)
{
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first("*.*", entry);
    for (bool more = static_cast<bool>(listing); more; more = listing.next(entry) == platform::kSuccess) {
        PathBuffer file;
        if (file.appendAll(folder, "\\", std::string_view(entry.name))) platform::deleteFile(file.c_str());
    }
}

// Deletes the files of `folder` from inside it; false when it could not be
// entered or the working directory not restored (the folder must then stay).
bool emptyFolder(const PathBuffer& folder)
{
    SavedWorkingDirectory workingDirectory;
    if (!workingDirectory.saved() || !workingDirectory.enter(folder.c_str())) return false;
    deleteListedFiles(folder.view());
    // The folder cannot be removed while it is the current directory.
    return workingDirectory.restore();
}

}  // namespace

int emptyAndRemoveFolder(const Session& /*session*/, std::string_view folder)
{
    constexpr int kFailed = 3;
    // An empty text names no folder: never the current one.
    PathBuffer path;
    if (folder.empty() || !path.assign(folder)) return kFailed;
    if (!emptyFolder(path)) return kFailed;
    platform::removeDirectory(path.c_str());
    return 0;
}

void removeResourceTree(const Session& /*session*/, std::string_view base, std::string_view resourceFolder,
                        bool withParent)
{
    // An empty base would make every path relative to the current folder.
    if (base.empty()) return;
    const HostFolder tree = HostFolder::recorded(base);
    PathBuffer resources;
    if (!tree.path(resourceFolder, resources) || !emptyFolder(resources)) return;
    platform::removeDirectory(resources.c_str());

    PathBuffer parent;
    if (withParent && tree.path(resourceFolder.substr(0, resourceFolder.rfind('\\')), parent))
        platform::removeDirectory(parent.c_str());
    for (const std::string_view folder : {kTextFolder, kObjectFolder, kMachineFolder}) {
        PathBuffer path;
        if (tree.path(folder, path)) platform::removeDirectory(path.c_str());
    }
    platform::removeDirectory(tree.base().c_str());
}

}  // namespace ca

#include "removal/tree_removal.h"

#include "core/fixed_string.h"
#include "deploy/working_directory.h"
#include "platform/files.h"

#include <string_view>

namespace ca {
namespace {

// Deletes every file listed in the current folder, which is `folder`; folders,
// "." and ".." included, are not files and stay.
void deleteListedFiles(const char* folder)
{
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first("*.*", entry);
    for (bool more = static_cast<bool>(listing); more; more = listing.next(entry) == platform::kSuccess) {
        PathBuffer file;
        if (file.appendAll(std::string_view(folder), "\\", std::string_view(entry.name)))
            platform::deleteFile(file.c_str());
    }
}

}  // namespace

int emptyAndRemoveFolder(const char* folder)
{
    constexpr int kFailed = 3;
    // An empty text names no folder: never the current one.
    PathBuffer path;
    if (folder == nullptr || *folder == '\0' || !path.assign(folder)) return kFailed;

    SavedWorkingDirectory workingDirectory;
    if (!workingDirectory.saved() || !workingDirectory.enter(path.c_str())) return kFailed;
    deleteListedFiles(path.c_str());
    // The folder cannot be removed while it is the current directory.
    if (!workingDirectory.restore()) return kFailed;
    platform::removeDirectory(path.c_str());
    return 0;
}

void removeResourceTree(const char* base, std::string subPath)
{
    // An empty base would make every path relative to the current folder.
    if (base == nullptr || *base == '\0') return;
    const std::string_view b(base);
    PathBuffer x;
    PathBuffer xo;
    PathBuffer t;
    PathBuffer u;
    PathBuffer r;
    if (!x.appendAll(b, "x86e_win64") || !xo.appendAll(x.view(), "\\obj") || !t.appendAll(b, "text")) return;
    if (subPath.empty()) {
        if (!u.appendAll(t.view(), "\\usascii") || !r.appendAll(u.view(), "\\resource")) return;
    } else if (!r.appendAll(t.view(), std::string_view(subPath), "\\resource")) {
        return;
    }

    {
        SavedWorkingDirectory workingDirectory;
        if (!workingDirectory.saved() || !workingDirectory.enter(r.c_str())) return;
        deleteListedFiles(r.c_str());
        if (!workingDirectory.restore()) return;
    }

    platform::removeDirectory(r.c_str());
    if (subPath.empty()) platform::removeDirectory(u.c_str());
    for (const PathBuffer* folder : {&t, &xo, &x}) platform::removeDirectory(folder->c_str());
    platform::removeDirectory(base);
}

}  // namespace ca

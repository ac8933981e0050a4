#include "removal/tree_removal.h"

#include "core/fixed_string.h"
#include "core/log.h"
#include "core/working_directory.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace ca {
namespace {

// Deletes every file listed in the current folder, which is `folder`;
// folders, "." and ".." included, are not files and stay.
void deleteListedFiles(FileWork& work, std::string_view folder)
{
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first("*.*", entry);
    const std::string pattern = concat(escaped(folder), "\\*.*");
    if (!listing) logFailed(work.session(), platform::lastError(), "list ", pattern);
    for (bool more = static_cast<bool>(listing); more;) {
        PathBuffer file;
        if (!entry.isDirectory && file.appendAll(folder, "\\", std::string_view(entry.name)))
            work.deleteFile(file.c_str());
        const platform::Status status = listing.next(entry);
        more = status == platform::kSuccess;
        if (!more && status != platform::kNoMoreFiles)
            logFailed(work.session(), status, "list ", pattern);
    }
}

// Deletes the files of `folder` from inside it; false when it could not be
// entered or the working directory not restored (the folder must then stay).
// A folder that is not there is no failure: there is nothing to empty.
bool emptyFolder(FileWork& work, const PathBuffer& folder)
{
    const Session& session = work.session();
    SavedWorkingDirectory workingDirectory;
    if (!workingDirectory.saved())
        return logFailed(session, platform::lastError(), "read the working directory"), false;
    if (!workingDirectory.enter(folder.c_str())) {
        const platform::Status code = platform::lastError();
        if (code != platform::kPathNotFound && code != platform::kFileNotFound)
            logFailed(session, code, "enter ", escaped(folder.view()));
        return false;
    }
    deleteListedFiles(work, folder.view());
    // The folder cannot be removed while it is the current directory.
    if (workingDirectory.restore()) return true;
    logFailed(session, platform::lastError(), "return to the working directory from ", escaped(folder.view()));
    return false;
}

}  // namespace

int emptyAndRemoveFolder(FileWork& work, std::string_view folder)
{
    constexpr int kFailed = 3;
    // An empty text names no folder: never the current one.
    PathBuffer path;
    if (folder.empty() || !path.assign(folder)) return kFailed;
    if (!emptyFolder(work, path)) return kFailed;
    work.removeFolder(path.c_str());
    return 0;
}

int emptyAndRemoveFolder(const Session& session, std::string_view folder)
{
    FileWork work(session);
    const int result = emptyAndRemoveFolder(work, folder);
    work.summary(concat("emptying ", escaped(folder)));
    return result;
}

}  // namespace ca

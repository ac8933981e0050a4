#include "model/chosen_releases.h"

#include "core/log.h"
#include "core/outcome.h"
#include "model/host_folder.h"

#include <string>

namespace ca {
namespace {

std::string named(const Session& session, const char* name, const FolderProperty& folder)
{
    return concat(name, "=", shown(folder.tooLong() ? session.readWhole(name) : folder.folder.str()));
}

}  // namespace

void logChosenReleaseFolders(const Session& session, const std::array<Slot, 7>& order)
{
    std::string line;
    forEachChosenRelease(session, order, [&](const ReleaseSlot& slot, const FolderProperty& folder) {
        line += (line.empty() ? "" : ", ") + named(session, slot.folderProperty, folder);
        return true;
    });
    session.log(concat("chosen release folders: ", line.empty() ? "none" : line));
}

void logReleaseFolders(const Session& session, const std::array<Slot, 7>& order)
{
    std::string line;
    for (const Slot slot : order) {
        const char* name = releaseSlot(slot).folderProperty;
        const FolderProperty folder = readFolderProperty(session, name);
        if (!folder.folder.empty() || folder.tooLong())
            line += (line.empty() ? "" : ", ") + named(session, name, folder);
    }
    session.log(concat("release folders: ", line.empty() ? "none" : line));
}

void reportFolderTooLong(const Session& session, const FolderProperty& folder, std::string_view what)
{
    session.log(concat(folder.tooLongText(), ": ", what, " not registered"));
    reportHostFailure(session, kInstallErrorProperty, named(session, folder.name, folder), kRegistrationFile,
                      "not reached: the folder is too long to take", platform::kMoreData);
}

}  // namespace ca

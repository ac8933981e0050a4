#include "removal/footprint_removal.h"

#include "core/digest.h"
#include "core/file_work.h"
#include "core/log.h"
#include "model/host_folder.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <algorithm>

namespace ca {
namespace {

// What stands at a file item's place now. A file that a running host holds
// cannot be read: the host loaded it from there, and the footprint says it
// is the add-in's, so it is taken for what the add-in wrote.
enum class Standing { gone, ours, inUse, changed, unreadable };

Standing standing(const FootprintItem& item, const char* path, platform::Status& code)
{
    const std::uint32_t attributes = platform::getFileAttributes(path);
    if (attributes == platform::kInvalidFileAttributes) return Standing::gone;
    if ((attributes & platform::kFileAttributeDirectory) != 0) return Standing::changed;
    ContentDigest content;
    if (digestFile(path, content)) return item.holdsOurs(content) ? Standing::ours : Standing::changed;
    code = platform::lastError();
    return platform::isHeldElsewhere(code) ? Standing::inUse : Standing::unreadable;
}

class Undo {
public:
    Undo(const Session& session, Footprint& footprint)
        : session_(session),
          footprint_(footprint),
          host_(HostFolder::stripped(footprint.host())),
          work_(session, footprint.host())
    {
    }

    // True when the item is done with and can be forgotten.
    bool file(const FootprintItem& item)
    {
        PathBuffer path;
        if (!host_.path(item.place, path)) return true;
        const std::string backup = item.mark == Mark::replaced ? concat(footprint_.backups(), "\\", item.backup) : "";
        platform::Status code = platform::kSuccess;
        switch (standing(item, path.c_str(), code)) {
        case Standing::gone: return dropBackup(backup);
        case Standing::unreadable:
            logFailed(session_, code, "read ", escaped(path.view()));
            return failed(path.view(), "could not be read", code), false;
        case Standing::changed:
            session_.log(concat(escaped(path.view()), " changed since the add-in wrote it: left as it stands"));
            return dropBackup(backup);
        case Standing::inUse:
            session_.log(concat(escaped(path.view()), " is in use: taken for the add-in's, as its footprint says"));
            break;
        case Standing::ours: break;
        }
        if (item.mark == Mark::file) return static_cast<bool>(work_.deleteFile(path.c_str()));
        if (platform::getFileAttributes(backup.c_str()) == platform::kInvalidFileAttributes) {
            session_.log(concat("the host's copy of ", escaped(path.view()), " is gone from ", escaped(backup),
                                ": the add-in's copy stays"));
            return true;
        }
        // The host's copy goes back over the add-in's (at the next restart when
        // the file is in use: a copy of it waits beside it), then its backup goes.
        return work_.copy(backup.c_str(), path.c_str()) && work_.deleteFile(backup.c_str());
    }

    // True when the folder item can be forgotten: removed, gone, or the host's now.
    bool folder(const FootprintItem& item)
    {
        PathBuffer path;
        if (!host_.path(item.place, path)) return true;
        switch (work_.removeFolderIfEmpty(path.c_str())) {
        case FileWork::Removal::removed:
        case FileWork::Removal::atRestart:
        case FileWork::Removal::missing: return true;
        case FileWork::Removal::notEmpty:
            session_.log(concat(escaped(path.view()), " holds files that are not the add-in's: it stays"));
            return true;
        case FileWork::Removal::failed: return false;
        }
        return false;
    }

    // The backup folder goes once no backup is left in it, and the product's
    // folders above it once they are empty.
    void backupFolder()
    {
        if (footprint_.backups().empty() || footprint_.has(Mark::replaced)) return;
        const std::vector<std::string> levels = backupFolderLevels(footprint_.backups());
        const FileWork::Removal removal = work_.removeFolderIfEmpty(levels.front().c_str());
        if (removal == FileWork::Removal::failed || removal == FileWork::Removal::notEmpty) {
            if (removal == FileWork::Removal::notEmpty)
                session_.log(
                    concat(escaped(levels.front()), " holds files that are no backup of this footprint: it stays"));
            return;
        }
        footprint_.setBackups("");
        for (std::size_t level = 1; level < levels.size(); ++level) {
            const FileWork::Removal above = work_.removeFolderIfEmpty(levels[level].c_str());
            // The footprint keeps naming a folder that could not go, so that the next removal takes it.
            if (above == FileWork::Removal::failed) footprint_.setBackups(levels[level]);
            if (above != FileWork::Removal::removed) break;
        }
    }

    std::optional<UndoFailure> finish(std::string_view what)
    {
        work_.summary(what);
        if (const auto& f = work_.firstFailure())
            failed(f->path, f->call == "copy" ? "could not be restored" : "could not be removed", f->code);
        return failure_;
    }

private:
    bool dropBackup(const std::string& backup)
    {
        return backup.empty() || static_cast<bool>(work_.deleteFile(backup.c_str()));
    }
    void failed(std::string_view path, std::string_view reason, platform::Status code)
    {
        if (!failure_) failure_ = UndoFailure{std::string(path), std::string(reason), code};
    }

    const Session& session_;
    Footprint& footprint_;
    HostFolder host_;
    FileWork work_;
    std::optional<UndoFailure> failure_;
};

bool inDomains(const FootprintItem& item, const std::vector<Domain>& domains)
{
    return std::find(domains.begin(), domains.end(), item.domain) != domains.end();
}

}  // namespace

std::optional<UndoFailure> undoFootprint(const Session& session, Footprint& footprint,
                                         const std::vector<Domain>& domains)
{
    Undo undo(session, footprint);
    auto& items = footprint.items();
    items.erase(std::remove_if(items.begin(), items.end(),
                               [&](const FootprintItem& item) {
                                   return item.isFile() && inDomains(item, domains) && undo.file(item);
                               }),
                items.end());
    // Deepest first, and only where nothing of the footprint is left below.
    std::vector<std::string> folders;
    for (const FootprintItem& item : items)
        if (item.mark == Mark::folder) folders.push_back(item.place);
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), '\\') > std::count(b.begin(), b.end(), '\\');
    });
    for (const std::string& place : folders) {
        FootprintItem* item = footprint.find(Mark::folder, place);
        if (item == nullptr || footprint.holdsBelow(place) || !undo.folder(*item)) continue;
        items.erase(items.begin() + (item - items.data()));
    }
    undo.backupFolder();
    return undo.finish(concat("removal of the add-in from ", escaped(footprint.host())));
}

}  // namespace ca

#include "deployment/host_write.h"

#include "core/file_work.h"
#include "core/log.h"
#include "core/outcome.h"
#include "core/paths.h"
#include "core/pending_restart.h"
#include "core/text.h"
#include "deployment/deploy.h"
#include "model/footprint_store.h"
#include "model/release_table.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <algorithm>

namespace ca {
namespace {

// A file item remembers this many of the contents the add-in wrote there.
constexpr std::size_t kDigestsKept = 8;

void remember(FootprintItem& item, const ContentDigest& digest)
{
    if (std::find(item.wrote.begin(), item.wrote.end(), digest) != item.wrote.end()) return;
    item.wrote.push_back(digest);
    if (item.wrote.size() > kDigestsKept) item.wrote.erase(item.wrote.begin());
}

// The file item of a place, made when there is none.
FootprintItem& fileItem(Footprint& footprint, Domain domain, const std::string& place)
{
    if (FootprintItem* item = footprint.findFile(place)) return *item;
    footprint.items().push_back({Mark::file, domain, place, {}, {}});
    return footprint.items().back();
}

bool isFolder(std::uint32_t attributes)
{
    return attributes != platform::kInvalidFileAttributes && (attributes & platform::kFileAttributeDirectory) != 0;
}

// The product's own folder for the hosts' files it replaced, one folder per
// host: ALLUSERSPROFILE\Kestrane\Orvella\Backup\<16 hex digits of the folder>.
bool backupFolderFor(const Session& session, std::string_view host, std::string& folder)
{
    PathBuffer profile;
    if (!stagingFolder(session, profile)) return false;
    std::string name(host);
    stripTrailingSeparator(name);
    name = lowerCased(name);
    const std::string digest = formatDigest(digestText(name));
    folder = concat(profile.view(), kBackupFolders, "\\", digest.substr(digest.find(':') + 1));
    return folder.size() < kMaxPath;
}

}  // namespace

bool SourceDigests::of(const Session& session, const std::string& path, ContentDigest& digest)
{
    if (const auto it = known_.find(path); it != known_.end()) return digest = it->second, true;
    if (!digestFile(path.c_str(), digest)) return logFailed(session, platform::lastError(), "read ", escaped(path)), false;
    known_[path] = digest;
    return true;
}

HostWrite::HostWrite(const Session& session, const HostFolder& host, Domain domain, SourceDigests& digests)
    : session_(session), host_(host), domain_(domain), digests_(digests)
{
}

void HostWrite::folder(std::string_view place) { steps_.push_back({.kind = Step::Kind::folder, .place = std::string(place)}); }

void HostWrite::copy(std::string_view source, std::string_view place)
{
    Step step{.kind = Step::Kind::copy, .source = std::string(source), .place = std::string(place)};
    if (!digests_.of(session_, step.source, step.digest)) {
        failed(step.source, "could not be read", platform::lastError());
        step.skip = true;
    }
    steps_.push_back(std::move(step));
}

bool HostWrite::copyFiles(std::string_view source, std::string_view place)
{
    folder(place);
    PathBuffer pattern;
    if (source.empty() || !pattern.appendAll(source, "\\*")) return false;
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first(pattern.c_str(), entry);
    for (bool more = static_cast<bool>(listing); more;) {
        if (!entry.isDirectory) copy(concat(source, "\\", entry.name), concat(place, "\\", entry.name));
        const platform::Status status = listing.next(entry);
        more = status == platform::kSuccess;
        if (!more && status != platform::kNoMoreFiles) {
            logFailed(session_, status, "list ", escaped(pattern.view()));
            return failed(pattern.view(), "could not be listed", status), false;
        }
    }
    if (listing) return true;
    const platform::Status code = platform::lastError();
    logFailed(session_, code, "list ", escaped(pattern.view()));
    return failed(pattern.view(), "could not be listed", code), false;
}

void HostWrite::entry() { steps_.push_back({.kind = Step::Kind::entry, .place = std::string(kRegistrationFile)}); }

void HostWrite::failed(std::string_view path, std::string_view reason, platform::Status code)
{
    if (!failure_) failure_ = Failure{std::string(path), std::string(reason), code};
}

// What a step adds to the footprint, and whether a host file must be backed up first.
void HostWrite::plan(Footprint& footprint, Step& step)
{
    PathBuffer target;
    if (step.skip) return;
    if (!host_.path(step.place, target)) return void(step.skip = step.tooLong = true);
    const std::uint32_t attributes = platform::getFileAttributes(target.c_str());
    bool missing = attributes == platform::kInvalidFileAttributes;
    if (step.kind == Step::Kind::entry) {
        if (!footprint.find(Mark::entry, "")) footprint.items().push_back({Mark::entry, Domain::registration, "", {}, {}});
        if (missing && !footprint.find(Mark::registration, step.place))
            footprint.items().push_back({Mark::registration, Domain::registration, step.place, {}, {}});
        return;
    }
    if (step.kind == Step::Kind::folder) {
        if (missing && !footprint.find(Mark::folder, step.place))
            footprint.items().push_back({Mark::folder, domain_, step.place, {}, {}});
        return;
    }
    if (isFolder(attributes)) return;  // the copy fails, and says so
    const FootprintItem* known = footprint.findFile(step.place);
    if (!missing && known == nullptr && deletedAtRestart(session_, target.view())) {
        // An earlier removal met the add-in's file in use: nothing of the host's to back up.
        session_.log(concat(escaped(target.view()), " is deleted at the next restart: nothing there to keep"));
        missing = true;
    }
    ContentDigest current;
    bool ours = false;
    if (!missing && known != nullptr) {
        if (digestFile(target.c_str(), current)) {
            ours = known->holdsOurs(current);
        } else if (const platform::Status code = platform::lastError(); platform::isHeldElsewhere(code)) {
            // A running host holds what it loaded from there: the add-in's, as the footprint says.
            session_.log(concat(escaped(target.view()), " is in use: taken for the add-in's, as its footprint says"));
            ours = true;
        } else {
            // What cannot be read cannot be told from the host's: it is left as it stands.
            logFailed(session_, code, "read ", escaped(target.view()));
            failed(target.view(), "could not be read", code);
            return void(step.skip = true);
        }
    }
    if (!missing && !ours && known != nullptr) step.was = *known;
    FootprintItem& item = fileItem(footprint, domain_, step.place);
    if (!missing && !ours) {
        // The host's file, or one that changed since the add-in wrote it: its
        // content is backed up before the add-in's replaces it.
        if (item.mark != Mark::replaced) item.backup = footprint.newBackupName(step.place);
        item.mark = Mark::replaced;
        step.backup = item.backup;
    }
    remember(item, step.digest);
}

bool HostWrite::prepareBackups(Footprint& footprint)
{
    if (!footprint.backups().empty()) return true;
    std::string folder;
    if (!backupFolderFor(session_, host_.text(), folder)) return false;
    footprint.setBackups(folder);
    return true;
}

// A host file that is not backed up is not the add-in's to write: the
// footprint says of its place what it said before.
void HostWrite::unplan(Footprint& footprint, const Step& step)
{
    auto& items = footprint.items();
    FootprintItem* item = footprint.findFile(step.place);
    if (item != nullptr && step.was) *item = *step.was;
    else if (item != nullptr) items.erase(items.begin() + (item - items.data()));
}

// True when a backup failed: its host file stays, and the footprint goes
// back to what it said of that place, so that no later write takes the host's
// file for the add-in's.
bool HostWrite::takeBackups(Footprint& footprint)
{
    bool reverted = false;
    FileWork work(session_, host_.text());
    bool folderMade = true;
    const std::vector<std::string> levels = backupFolderLevels(footprint.backups());
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        folderMade = folderMade && work.makeFolder(level->c_str());
    for (Step& step : steps_) {
        PathBuffer target;
        if (step.backup.empty() || step.skip || !host_.path(step.place, target)) continue;
        const std::string backup = concat(footprint.backups(), "\\", step.backup);
        // Without its backup the host's file is not overwritten.
        if (folderMade && work.copy(target.c_str(), backup.c_str())) continue;
        step.skip = reverted = true;
        unplan(footprint, step);
    }
    work.summary(concat("backup of the host's files in ", escaped(host_.text()), " into ", escaped(footprint.backups())));
    if (const auto& f = work.firstFailure()) failed(f->path, "could not be backed up", f->code);
    return reverted;
}

bool HostWrite::carryOut(std::string_view what)
{
    // An empty text names no folder: nothing is recorded or written for it.
    if (!host_) return false;
    Footprint footprint{std::string(host_.text())};
    platform::Status code = platform::kSuccess;
    const std::string record = registryKeyName(kProductKey, footprintValueName(host_.text()));
    if (readFootprint(session_, host_.text(), footprint, &code) == Found::unreadable) {
        session_.log(concat("nothing written into ", escaped(host_.text()), ": its footprint cannot be read"));
        reportHostFailure(session_, kInstallErrorProperty, host_.text(), record, "could not be read", code);
        return false;
    }
    bool backups = false;
    for (Step& step : steps_) plan(footprint, step), backups = backups || !step.backup.empty();
    if (backups && !prepareBackups(footprint)) {
        for (Step& step : steps_)
            if (!step.backup.empty()) step.skip = true, unplan(footprint, step);
        failed(host_.text(), "has files that cannot be backed up without ALLUSERSPROFILE", platform::kEnvironmentNotFound);
    }
    if (!writeFootprint(session_, footprint, &code)) {
        session_.log(concat("nothing written into ", escaped(host_.text()), ": its footprint cannot be recorded"));
        reportHostFailure(session_, kInstallErrorProperty, host_.text(), record, "could not be written", code);
        return false;
    }
    const bool reverted = backups && !footprint.backups().empty() && takeBackups(footprint);
    FileWork work(session_, host_.text());
    std::size_t waiting = 0;
    for (const Step& step : steps_) {
        PathBuffer target;
        if (step.tooLong) work.pathTooLong();
        if (step.skip || step.kind == Step::Kind::entry || !host_.path(step.place, target)) continue;
        if (step.kind == Step::Kind::folder) {
            work.makeFolder(target.c_str());
            continue;
        }
        // A target in use gets the new file at the next restart; meanwhile it
        // waits beside it, and the footprint must name it too.
        const FileResult copied = work.copy(step.source.c_str(), target.c_str());
        if (!copied.waiting.empty() && copied.waiting.size() > target.size()) {
            const std::string place = step.place + copied.waiting.substr(target.size());
            remember(fileItem(footprint, domain_, place), step.digest);
            ++waiting;
        }
    }
    if (!what.empty()) work.summary(what);
    if ((waiting > 0 || reverted) && !writeFootprint(session_, footprint, &code))
        failed(record, "could not be written", code);
    if (const auto& f = work.firstFailure())
        failed(f->path, f->call == "copy" ? "could not be written" : "could not be created", f->code);
    if (failure_)
        reportHostFailure(session_, kInstallErrorProperty, host_.text(), escaped(failure_->path), failure_->reason,
                          failure_->code);
    return !failure_;
}

}  // namespace ca

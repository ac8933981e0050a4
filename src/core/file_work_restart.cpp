// FileWork's answer to a file in use: the replacement or deletion waits for
// the next restart, as the system carries out MoveFileEx's delayed moves.
#include "core/file_work.h"

#include "core/fixed_string.h"
#include "core/log.h"
#include "core/pending_restart.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <algorithm>
#include <string>

namespace ca {
namespace {

// A new file needs a free name beside its target; after this many the
// folder is taken to be full of someone else's.
constexpr int kWaitingNames = 99;

std::string folded(std::string_view path) { return foldedPath(path); }

}  // namespace

bool FileWork::waitsForRestart(const char* path)
{
    if (!pendingRead_) {
        pending_ = pendingRestartPaths(session_);
        pendingRead_ = true;
    }
    return !pending_.empty() && std::find(pending_.begin(), pending_.end(), folded(path)) != pending_.end();
}

FileResult FileWork::copyAtRestart(const char* from, const char* to, unsigned code)
{
    PathBuffer waiting;
    for (int n = 1;; ++n) {
        waiting.clear();
        if (n > kWaitingNames || !waiting.appendAll(std::string_view(to), kWaitingSuffix, std::to_string(n))) {
            failed(code, "copy", from, to);
            return {};
        }
        // Never over a file that is there: it may wait for the restart too.
        if (platform::copyFile(from, waiting.c_str(), true)) break;
        const platform::Status why = platform::lastError();
        if (why != platform::kFileExists && why != platform::kAlreadyExists) {
            failed(why, "copy", from, waiting.view());
            return {};
        }
    }
    if (!platform::moveFileAtRestart(waiting.c_str(), to)) {
        failed(platform::lastError(), "replace at the next restart: move", waiting.view(), to);
        if (!platform::deleteFile(waiting.c_str())) failed(platform::lastError(), "delete", waiting.view());
        return {};
    }
    ++replacedLater_;
    pending_.push_back(folded(to));
    pending_.push_back(folded(waiting.view()));
    leftForRestart(to, concat("the new file waits as ", escaped(waiting.view()), " and replaces it at the next restart"),
                   code);
    return {FileOutcome::atRestart, waiting.str()};
}

FileResult FileWork::deleteAtRestart(const char* path, unsigned code)
{
    if (!platform::moveFileAtRestart(path, nullptr)) {
        failed(platform::lastError(), "delete at the next restart:", path);
        return {};
    }
    ++deletedLater_;
    doomed_.push_back(folded(path));
    pending_.push_back(folded(path));
    leftForRestart(path, "deleted at the next restart", code);
    return {FileOutcome::atRestart, {}};
}

// A folder that holds nothing but files (and folders) that the restart
// deletes or moves goes after them: the system runs its list in order.
bool FileWork::removeFolderAtRestart(const char* path)
{
    const std::string folder = folded(path);
    PathBuffer pattern;
    if (!pattern.appendAll(std::string_view(path), "\\*")) return false;
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first(pattern.c_str(), entry);
    if (!listing) return failed(platform::lastError(), "list", pattern.view()), false;
    for (;;) {
        const std::string inside = folded(concat(folder, "\\", entry.name));
        const auto goes = [&inside](const std::vector<std::string>& list) {
            return std::find(list.begin(), list.end(), inside) != list.end();
        };
        // A file that the restart moves away goes too: the new files wait under other names.
        if (entry.name != "." && entry.name != ".." && !goes(doomed_) && !goes(pending_)) return false;
        const platform::Status status = listing.next(entry);
        if (status == platform::kNoMoreFiles) break;
        if (status != platform::kSuccess) return failed(status, "list", pattern.view()), false;
    }
    listing.close();
    if (!platform::moveFileAtRestart(path, nullptr)) {
        failed(platform::lastError(), "remove folder at the next restart:", path);
        return false;
    }
    ++removedLater_;
    doomed_.push_back(folder);
    session_.log(concat("remove folder ", escaped(path), ": it holds only files deleted at the next restart, and goes after them"));
    return true;
}

void FileWork::leftForRestart(std::string_view file, std::string_view what, unsigned code)
{
    const std::string where = host_.empty() ? std::string() : concat(" (host ", escaped(host_), ")");
    if (code != 0)
        session_.log(concat(escaped(file), " is in use", where, ": ", errorDescription(code), "; ", what));
    else
        session_.log(concat(escaped(file), " has an operation waiting for the next restart already", where, "; ", what,
                            ", after that one"));
    if (restartAsked_) return;
    restartAsked_ = true;
    const platform::Status status = platform::msiRequestRestart(session_.handle());
    if (status != platform::kSuccess) logFailed(session_, status, "ask the installer for a restart at the end");
    FixedString<1024> first;
    session_.read(kRestartProperty, first);
    if (!first.empty()) return;
    const std::string value = host_.empty() ? std::string(file) : concat(host_, ": ", file);
    session_.set(kRestartProperty, value);
    session_.log(concat(kRestartProperty, " set to ", shown(value), ": the installation asks for a restart"));
}

}  // namespace ca

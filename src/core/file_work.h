// File work done for one walk (a host, a folder, the staging area): each
// change counted for the walk's one summary line, each failed call logged
// with its path and error. Nothing to delete or remove is no failure, and
// a folder that still holds something stays without a word: both are what
// a removal expects to meet.
//
// A file in use (a running host holds its modules open) is neither skipped
// nor forced: as Windows Installer does with its own files, its replacement
// or deletion waits for the next restart (MoveFileEx), the installation asks
// for that restart, ORVELLA_RESTART names the first such file, and the log
// names the file and the walk's host. A file that an earlier operation
// waiting for the restart names goes the same way, after that operation:
// done now, it would be undone by the restart.
#pragma once

#include "core/session.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ca {

// What became of a copy onto a file, or of its deletion.
enum class FileOutcome {
    done,       // now
    atRestart,  // the file is in use: the next restart completes it, so it counts as done
    failed,     // logged
};

struct FileResult {
    FileOutcome outcome = FileOutcome::failed;
    // A copy that waits for the restart: the new file's place meanwhile,
    // beside the target. It is gone once the restart has moved it.
    std::string waiting;

    explicit operator bool() const { return outcome != FileOutcome::failed; }
    bool atRestart() const { return outcome == FileOutcome::atRestart; }
};

// The property that names the first file left for the next restart.
inline constexpr const char* kRestartProperty = "ORVELLA_RESTART";
// The name a new file waits under beside the target it replaces at the
// next restart: target + ".~new" + n, the first n from 1 that is free.
inline constexpr std::string_view kWaitingSuffix = ".~new";

class FileWork {
public:
    // `host`: the host folder the walk works in, named with each file in
    // use; "" for a walk outside any host (the staging area).
    explicit FileWork(const Session& session, std::string_view host = {}) : session_(session), host_(host) {}
    // It keeps the session by reference: a temporary one would dangle.
    FileWork(const Session&& session, std::string_view host = {}) = delete;
    const Session& session() const { return session_; }

    // CopyFileA, overwriting; a target in use is replaced at the next restart.
    FileResult copy(const char* from, const char* to);
    // _mkdir; true when the folder is there afterwards, made now or before.
    bool makeFolder(const char* path);
    // DeleteFileA; done when the file is gone, or was never there; a file in
    // use is deleted at the next restart.
    FileResult deleteFile(const char* path);
    // RemoveDirectoryA; true when removed, or when it holds nothing but what
    // this walk left for the next restart to delete: it goes after that.
    bool removeFolder(const char* path);
    // The same, telling what became of the folder.
    enum class Removal { removed, atRestart, missing, notEmpty, failed };
    Removal removeFolderIfEmpty(const char* path);
    // A file or folder passed over because its path would not fit 260 bytes.
    void pathTooLong() { ++tooLong_; }

    int changes() const { return copied_ + created_ + deleted_ + removed_ + atRestart(); }
    int failures() const { return failed_; }
    // Replacements, deletions and folder removals left for the next restart.
    int atRestart() const { return replacedLater_ + deletedLater_ + removedLater_; }
    // The walk's first failed call, for a caller that must report it.
    struct Failure {
        unsigned code = 0;
        std::string call;  // "copy", "delete", ...
        std::string path;  // the path it failed on (a copy's target)
    };
    const std::optional<Failure>& firstFailure() const { return first_; }
    // "<what>: 3 files copied, 1 folder created, 1 file replaced at the next
    // restart, 1 failure", or "<what>: nothing to do". `what` names the
    // walk, not what it did.
    void summary(std::string_view what) const;

private:
    // Only the first failures of a walk each get a line; the summary counts all.
    void failed(unsigned code, std::string_view call, std::string_view path, std::string_view to = {});
    bool heldElsewhere(platform::Status code, const char* path);
    FileResult copyAtRestart(const char* from, const char* to, unsigned code);
    FileResult deleteAtRestart(const char* path, unsigned code);
    bool removeFolderAtRestart(const char* path);
    // An operation waiting for the next restart names the path.
    bool waitsForRestart(const char* path);
    // Logs what waits for the restart (`code`: why the file could not be
    // changed now; 0: an earlier operation waits for it), asks the installer
    // for the restart and names the first such file in ORVELLA_RESTART.
    void leftForRestart(std::string_view file, std::string_view what, unsigned code);

    const Session& session_;
    std::string host_;
    std::vector<std::string> doomed_;   // deleted at the next restart, folded for comparison
    std::vector<std::string> pending_;  // named by an operation that waits for the restart, folded
    bool pendingRead_ = false;
    bool restartAsked_ = false;
    int copied_ = 0;
    int created_ = 0;
    int deleted_ = 0;
    int removed_ = 0;
    int replacedLater_ = 0;
    int deletedLater_ = 0;
    int removedLater_ = 0;
    int failed_ = 0;
    int tooLong_ = 0;
    std::optional<Failure> first_;
};

}  // namespace ca

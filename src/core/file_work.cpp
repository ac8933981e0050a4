#include "core/file_work.h"

#include "core/log.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <string>

namespace ca {
namespace {

constexpr int kFailuresShown = 10;

bool isMissing(platform::Status code) { return code == platform::kFileNotFound || code == platform::kPathNotFound; }

// The call failed because another process holds the file. Windows refuses
// to delete a loaded module with "access denied", so that code is asked too.
bool mayBeHeld(platform::Status code)
{
    return platform::isHeldElsewhere(code) || code == platform::kAccessDenied;
}

std::string counted(int n, const char* what, const char* done)
{
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s") + " " + done;
}

}  // namespace

void FileWork::failed(unsigned code, std::string_view call, std::string_view path, std::string_view to)
{
    if (!first_) first_ = Failure{code, std::string(call), std::string(to.empty() ? path : to)};
    if (++failed_ > kFailuresShown) return;
    if (to.empty())
        logFailed(session_, code, call, " ", escaped(path));
    else
        logFailed(session_, code, call, " ", escaped(path), " to ", escaped(to));
}

// The call's own error cannot tell a file in use from one we may not write:
// a probe tells, and a probe that fails says why. A file that is not there
// is in no one's use, and its absence is no failed call.
bool FileWork::heldElsewhere(platform::Status code, const char* path)
{
    if (!mayBeHeld(code)) return false;
    if (platform::isFileInUse(path)) return true;
    if (const platform::Status probe = platform::lastError(); probe != platform::kSuccess && !isMissing(probe))
        logFailed(session_, probe, "open ", escaped(path), " to tell whether it is in use");
    return false;
}

FileResult FileWork::copy(const char* from, const char* to)
{
    if (waitsForRestart(to)) return copyAtRestart(from, to, 0);
    if (platform::copyFile(from, to, false)) return ++copied_, FileResult{FileOutcome::done, {}};
    const platform::Status code = platform::lastError();
    if (heldElsewhere(code, to)) return copyAtRestart(from, to, code);
    failed(code, "copy", from, to);
    return {};
}

bool FileWork::makeFolder(const char* path)
{
    if (platform::makeDirectory(path) == 0) return ++created_, true;
    const platform::Status code = platform::lastError();
    const std::uint32_t attributes = platform::getFileAttributes(path);
    if (attributes != platform::kInvalidFileAttributes && (attributes & platform::kFileAttributeDirectory) != 0)
        return true;
    failed(code, "create folder", path);
    return false;
}

FileResult FileWork::deleteFile(const char* path)
{
    // What the restart would put there is deleted after it.
    const bool waiting = waitsForRestart(path);
    if (platform::deleteFile(path)) return waiting ? deleteAtRestart(path, 0) : (++deleted_, FileResult{FileOutcome::done, {}});
    const platform::Status code = platform::lastError();
    if (isMissing(code)) return waiting ? deleteAtRestart(path, 0) : FileResult{FileOutcome::done, {}};
    if (heldElsewhere(code, path)) return deleteAtRestart(path, code);
    failed(code, "delete", path);
    return {};
}

bool FileWork::removeFolder(const char* path)
{
    const Removal removal = removeFolderIfEmpty(path);
    return removal == Removal::removed || removal == Removal::atRestart;
}

FileWork::Removal FileWork::removeFolderIfEmpty(const char* path)
{
    if (platform::removeDirectory(path)) return ++removed_, Removal::removed;
    const platform::Status code = platform::lastError();
    if (isMissing(code)) return Removal::missing;
    if (code == platform::kDirectoryNotEmpty)
        return !doomed_.empty() && removeFolderAtRestart(path) ? Removal::atRestart : Removal::notEmpty;
    failed(code, "remove folder", path);
    return Removal::failed;
}

void FileWork::summary(std::string_view what) const
{
    std::string line;
    const auto add = [&line](int n, const char* noun, const char* done) {
        if (n > 0) line += (line.empty() ? "" : ", ") + counted(n, noun, done);
    };
    add(copied_, "file", "copied");
    add(created_, "folder", "created");
    add(deleted_, "file", "deleted");
    add(removed_, "folder", "removed");
    add(replacedLater_, "file", "replaced at the next restart");
    add(deletedLater_, "file", "deleted at the next restart");
    add(removedLater_, "folder", "removed at the next restart");
    if (tooLong_ > 0)
        line += (line.empty() ? "" : ", ") + std::to_string(tooLong_) + (tooLong_ == 1 ? " path" : " paths") +
                " longer than 259 characters passed over";
    if (failed_ > 0) line += (line.empty() ? "" : ", ") + std::to_string(failed_) + (failed_ == 1 ? " failure" : " failures");
    if (failed_ > kFailuresShown) line += " (the first " + std::to_string(kFailuresShown) + " logged)";
    session_.log(concat(what, ": ", line.empty() ? "nothing to do" : line));
}

}  // namespace ca

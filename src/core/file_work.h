// File work done for one walk (a host, a folder, the staging area): each
// change counted for the walk's one summary line, each failed call logged
// with its path and error. Nothing to delete or remove is no failure, and
// a folder that still holds something stays without a word: both are what
// a removal expects to meet.
#pragma once

#include "core/session.h"

#include <optional>
#include <string>
#include <string_view>

namespace ca {

class FileWork {
public:
    explicit FileWork(const Session& session) : session_(session) {}
    const Session& session() const { return session_; }

    // CopyFileA, overwriting; true when copied.
    bool copy(const char* from, const char* to);
    // _mkdir; true when the folder is there afterwards, made now or before.
    bool makeFolder(const char* path);
    // DeleteFileA; true when the file is gone, or was never there.
    bool deleteFile(const char* path);
    // RemoveDirectoryA; true when removed.
    bool removeFolder(const char* path);
    // A file or folder passed over because its path would not fit 260 bytes.
    void pathTooLong() { ++tooLong_; }

    int changes() const { return copied_ + created_ + deleted_ + removed_; }
    int failures() const { return failed_; }
    // The walk's first failed call, for a caller that must report it.
    struct Failure {
        unsigned code = 0;
        std::string call;  // "copy", "delete", ...
        std::string path;  // the path it failed on (a copy's target)
    };
    const std::optional<Failure>& firstFailure() const { return first_; }
    // "<what>: 3 files copied, 1 folder created, 1 failure", or "<what>:
    // nothing to do". `what` names the walk, not what it did.
    void summary(std::string_view what) const;

private:
    // Only the first failures of a walk each get a line; the summary counts all.
    void failed(unsigned code, std::string_view call, std::string_view path, std::string_view to = {});

    const Session& session_;
    int copied_ = 0;
    int created_ = 0;
    int deleted_ = 0;
    int removed_ = 0;
    int failed_ = 0;
    int tooLong_ = 0;
    std::optional<Failure> first_;
};

}  // namespace ca

// Remembers the process's working directory and goes back to it. Folder
// listings here run in the listed folder, and no caller may be left inside it.
#pragma once

#include "core/fixed_string.h"
#include "platform/files.h"

namespace ca {

class SavedWorkingDirectory {
public:
    SavedWorkingDirectory() { saved_ = platform::currentDirectory(path_.data(), PathBuffer::capacity); }
    SavedWorkingDirectory(const SavedWorkingDirectory&) = delete;
    SavedWorkingDirectory& operator=(const SavedWorkingDirectory&) = delete;
    ~SavedWorkingDirectory() { restore(); }

    // False when the working directory could not be read.
    bool saved() const { return saved_; }

    // Back to the remembered folder; false when that fails. Once is enough.
    bool restore()
    {
        if (!saved_ || !changed_) return saved_;
        changed_ = false;
        return platform::changeDirectory(path_.c_str());
    }

    bool enter(const char* folder)
    {
        if (!saved_ || folder == nullptr || *folder == '\0') return false;
        changed_ = true;
        return platform::changeDirectory(folder);
    }

private:
    PathBuffer path_;
    bool saved_ = false;
    bool changed_ = false;
};

}  // namespace ca

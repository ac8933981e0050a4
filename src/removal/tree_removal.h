// Clearing folders that deployment or the package filled. Nothing recurses:
// files are deleted, and a folder is only ever removed when it is empty.
#pragma once

#include "core/file_work.h"
#include "core/session.h"

#include <string_view>

namespace ca {

// Deletes the files in `folder`, then removes it if that left it empty.
// 3 when the working directory cannot be saved, entered or restored. The
// session's variant logs one line of what went.
int emptyAndRemoveFolder(const Session& session, std::string_view folder);
int emptyAndRemoveFolder(FileWork& work, std::string_view folder);

}  // namespace ca

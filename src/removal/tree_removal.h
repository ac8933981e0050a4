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

// Empties base + resourceFolder and removes it; then, each only when empty,
// its parent (with `withParent`), base + "text", the object folder, the
// machine folder and base itself. Nothing at all happens when the resource
// folder cannot be entered. `base` is used as it stands: a recorded folder
// ends in a separator, and one that does not leads nowhere.
void removeResourceTree(const Session& session, std::string_view base, std::string_view resourceFolder,
                        bool withParent);
void removeResourceTree(FileWork& work, std::string_view base, std::string_view resourceFolder, bool withParent);

}  // namespace ca

// The file operations that wait for the next restart, as the system lists
// them (PendingFileRenameOperations): a file named there will be replaced
// or deleted at the restart, whatever is done to it now.
#pragma once

#include "core/session.h"

#include <string>
#include <string_view>
#include <vector>

namespace ca {

inline constexpr const char* kSessionManagerKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr const char* kPendingRenamesValue = "PendingFileRenameOperations";

// Upper case, one separator of one kind: a path as the file system compares
// it, walked by characters of the code page.
std::string foldedPath(std::string_view path);

// Every source and target in the list, each as foldedPath() gives it. A
// list that cannot be read counts as empty (logged).
std::vector<std::string> pendingRestartPaths(const Session& session);

// Whether the restart deletes the file at `path`: the list's last operation
// on it deletes it (an earlier removal met it in use). Such a file is gone
// for whatever is written now, which then waits until after the deletion.
bool deletedAtRestart(const Session& session, std::string_view path);

}  // namespace ca

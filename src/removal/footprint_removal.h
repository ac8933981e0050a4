// Undoing a host's footprint: exactly what the add-in wrote there goes, and
// what it replaced comes back.
#pragma once

#include "core/session.h"
#include "model/footprint.h"
#include "platform/types.h"

#include <vector>
#include <optional>
#include <string>
#include <string_view>

namespace ca {

struct UndoFailure {
    std::string path;
    std::string reason;
    platform::Status code = 0;
};

// Undoes the footprint's files of `domains`: each file the add-in created is
// deleted, each host file it replaced is restored from its backup, but only
// while it still holds what the add-in wrote (one that changed since is left
// as it stands, and logged); then every folder it created that nothing of the
// footprint is left below is removed once empty (one that holds the host's
// files stays and becomes the host's); then the backup folder, once it holds
// no backup. What it undid, or found gone, is forgotten; what failed stays in
// the footprint, and the first failure is returned. The entry in protk.dat is
// the caller's, before all of this.
std::optional<UndoFailure> undoFootprint(const Session& session, Footprint& footprint,
                                         const std::vector<Domain>& domains);

}  // namespace ca

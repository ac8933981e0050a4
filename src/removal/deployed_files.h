// Taking the add-in out of what deployment and staging reached.
#pragma once

#include "core/session.h"
#include "model/host_folder.h"
#include "model/host_survey.h"

#include <functional>
#include <optional>
#include <string_view>

namespace ca {

// Called to take the add-in's entry out of the folder's protk.dat. With a
// record, `hostHadFile` tells whether the host had one before; without,
// nothing is known.
using Unregister = std::function<void(std::string_view folder, std::optional<bool> hostHadFile)>;

// Takes the add-in out of one host folder that deployment reached. With what
// the folder held before (`before`): every file and folder of the manifest
// that was not there, a created folder once it is empty, and nothing the host
// had. Without it (an installation by an earlier version): every file of the
// manifest, the folders it created as far as they are empty, and the resource
// folders with what is left empty above them.
void removeDeployedFiles(const Session& session, std::string_view folder, const HostSurvey* before,
                         const Unregister& unregister);

// Empties text\usascii\resource of a recorded release folder and removes
// it: with `before`, only what was not there; without, the whole folder and
// what is left empty above it.
void removeMessageResources(const Session& session, std::string_view recordedFolder, const HostSurvey* before);

// Empties the staging area (the folder ALLUSERSPROFILE names) of what the
// manifest staged, as far as the package does not keep it.
void clearStagingArea(const Session& session, std::string_view staging);

// Removes the private runtime folders from the object folder of a recorded
// Wildfire 5.0 folder: with `before`, only what was not there; without,
// every runtime file and, as far as they are empty, the folders up to it.
void removePrivateRuntime(const Session& session, std::string_view recordedFolder, const HostSurvey* before);

}  // namespace ca

// Taking the add-in out of what deployment and staging reached.
#pragma once

#include "core/session.h"
#include "model/host_folder.h"

#include <functional>
#include <string_view>

namespace ca {

// Takes the add-in out of one host folder that deployment reached: the
// manifest's files, the folders it created as far as they are empty, and the
// resource folders with what is left empty above them. `unregister` is called
// with the folder (and a separator) once the message resources are gone,
// before the language resources go.
void removeDeployedFiles(const Session& session, std::string_view folder,
                         const std::function<void(std::string_view base)>& unregister);

// Empties the staging area (the folder ALLUSERSPROFILE names) of what the
// manifest staged, as far as the package does not keep it.
void clearStagingArea(const Session& session, std::string_view staging);

// Removes the private runtime folders from the object folder of a recorded
// Wildfire 5.0 folder.
void removePrivateRuntime(const Session& session, const HostFolder& wildfire5);

}  // namespace ca

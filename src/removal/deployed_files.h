// Takes the add-in out of one host folder that deployment reached: its files,
// the folders it created as far as they are empty, and its registration.
#pragma once

#include <string>

namespace ca {

// Always true; every failure is passed over and the next step still runs.
bool removeDeployedFiles(std::string folder);

}  // namespace ca

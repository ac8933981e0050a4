// The demo machine: five host installations of four releases, another
// vendor's add-in registered in each, and a filled staging area.
#pragma once

#include <filesystem>

namespace casim {

// Writes the demo as a scenario folder (machine.reg, drive_c/, scenario.txt)
// that runs the install sequence and then the removal sequence.
void writeDemoScenario(const std::filesystem::path& folder);

}  // namespace casim

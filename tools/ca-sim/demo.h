// The demo machine: five host installations of four releases, another
// vendor's add-in registered in each, and the staging area filled as the
// package fills it; and the demo's summary of what the installation did and
// what the removal left.
#pragma once

#include "report.h"

#include <filesystem>
#include <string>

namespace casim {

// Writes the demo as a scenario folder (machine.reg, drive_c/, scenario.txt)
// that runs the install sequence and then the removal sequence.
void writeDemoScenario(const std::filesystem::path& folder);
// The demo machine in a few lines, for a reader.
std::string demoDescription();

// Per host folder below C:\PTC and for the staging area: the machine before
// the installation, after it, and after the removal.
Summary summarize(const MachineState& start, const MachineState& installed, const MachineState& removed);

}  // namespace casim

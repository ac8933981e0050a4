// One host folder across an installation and a removal: what the
// installation did to it and what the removal left that differs from before.
// The demo's summary and preflight both tell it.
#pragma once

#include "machine_state.h"
#include "report.h"

#include <string>

namespace casim {

// `folder` as the machine states name it ("C:\\PTC\\wf5"): before the
// installation, after it, and after the removal.
// The add-in's entries ("name Orvella" lines) in a protk.dat's bytes.
int orvellaEntries(const std::string& protk);

HostSummary summarizeHost(const std::string& folder, const MachineState& start, const MachineState& installed,
                          const MachineState& removed);

}  // namespace casim

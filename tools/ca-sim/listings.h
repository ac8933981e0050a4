// What ca-sim reads, handed on: a scenario, the package's sequences, the
// staged payload, a registry file. Text for people, JSON (format 1, always
// UTF-8) for the scripts that must not read these formats themselves.
#pragma once

#include "scenario.h"
#include "sequences.h"

#include "platform/sim/machine.h"

#include <ostream>
#include <string>
#include <vector>

namespace casim {

// Text: the scenario as scenario.txt would say it.
void printScenario(std::ostream& out, const Scenario& scenario, bool json);
// Text: each sequence with its steps and conditions.
void printSequences(std::ostream& out, const Sequences& sequences, const std::string& file, bool json);
// Text: one staging-relative path a line, a folder's ending in '\'.
void printManifest(std::ostream& out, bool json);
// The keys at or below any of `under` (every key when empty), as regedit text
// or as JSON with each value's type and data bytes.
void printRegistry(std::ostream& out, const sim::Registry& registry, const std::vector<std::string>& under,
                   const std::string& file, bool json);

}  // namespace casim

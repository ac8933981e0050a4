// Renders what the actions did: text for people (a file tree with markers,
// unified diffs of edited text files, colour on a terminal) or JSON for scripts.
#pragma once

#include "runner.h"

#include <ostream>
#include <string>
#include <vector>

namespace casim {

void printText(std::ostream& out, const std::vector<ActionReport>& reports, bool colour);
void printJson(std::ostream& out, const std::vector<ActionReport>& reports);

// Per host folder (and the staging area): what the installation left there,
// and what the removal left of it, compared with the machine at the start.
void printSummary(std::ostream& out, const MachineState& start, const MachineState& installed,
                  const MachineState& removed, bool colour);

// A unified diff of two texts (3 lines of context); empty when they are equal.
std::string unifiedDiff(const std::string& before, const std::string& after, const std::string& name);
// True when the bytes look like text (no NUL, few control characters).
bool looksLikeText(const std::string& bytes);

}  // namespace casim

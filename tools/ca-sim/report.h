// Renders what the actions did: text for people (a file tree with markers,
// unified diffs of edited text files, colour on a terminal) or JSON for
// scripts. Both show the machine's bytes as the installer would, decoded
// from its code page.
#pragma once

#include "runner.h"

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace casim {

// One "expect NAME=VALUE" line and what the run left.
struct ExpectationResult {
    std::string file;
    int line = 0;
    std::string name;
    std::string expected;
    std::string actual;
    bool passed() const { return expected == actual; }
};

// The demo's summary, per host folder below C:\PTC and for the staging area.
struct FolderSummary {
    std::string folder;
    bool staging = false;
    // A host folder after the installation.
    int added = 0, deleted = 0, changed = 0;
    std::optional<int> orvellaEntries;   // in text\protk.dat, when it has one
    std::optional<bool> otherLinesKept;  // every line protk.dat had before is still there
    // The staging area after the installation.
    int stagedFiles = 0;
    std::vector<std::string> stagedLeft;
    // After the removal, against the machine before the installation.
    bool asBefore = true;                 // a host folder: nothing differs
    bool touchedByRemoval = false;        // the staging area: the removal changed it
    std::vector<std::string> differences;  // "+ path", "- path", "~ path (note)"
    std::vector<bool> differenceIsLoss;    // per difference: something of the host's is gone
};

struct Summary {
    std::vector<FolderSummary> folders;
};

// Everything one command reports.
struct Outcome {
    std::string command;   // "run" or "demo"
    std::string scenario;  // the scenario folder ("" for the demo)
    std::vector<ActionReport> steps;
    std::map<std::string, std::string> properties;  // the last session's, at its end
    std::vector<ExpectationResult> expectations;
    std::optional<Summary> summary;
    int status = 0;
};

Summary summarize(const MachineState& start, const MachineState& installed, const MachineState& removed);

void printText(std::ostream& out, const std::vector<ActionReport>& reports, bool colour);
void printSummary(std::ostream& out, const Summary& summary, bool colour);
// The JSON report, format 1 (tools/ca-sim/report.schema.json).
void printJson(std::ostream& out, const Outcome& outcome);

// A unified diff of two texts (3 lines of context, Myers' algorithm);
// empty when they are equal. A line whose text stays but whose line end
// changes shows its line end ("[CR LF]", "[LF]").
std::string unifiedDiff(const std::string& before, const std::string& after, const std::string& name);
// True when the bytes look like text (no NUL, few control characters).
bool looksLikeText(const std::string& bytes);

// How a condition's values read in a message: NAME="value", NAME unset.
std::string describeReferences(const std::vector<ConditionReference>& references);
// A registry value as regedit would write its data, and a Control row's fields.
std::string describeValue(const sim::RegValue& value);
std::string describeRow(const sim::ControlRow& row);

}  // namespace casim

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

// The demo's summary (demo.cpp makes it): per host folder, what the
// installation did and what the removal left, and the staging area.
struct HostSummary {
    std::string folder;
    int added = 0, deleted = 0, changed = 0;  // files, after the installation
    std::optional<int> orvellaEntries;        // in text\protk.dat, when it has one
    std::optional<bool> otherLinesKept;       // every line protk.dat had before is still there
    // After the removal, against the machine before the installation: "+ path",
    // "- path", "~ path (note)"; `loss` when something of the host's is gone.
    struct Difference {
        std::string text;
        bool loss = false;
    };
    std::vector<Difference> differences;  // none: exactly as before
};
struct StagingSummary {
    std::string folder;
    int stagedFiles = 0;
    std::vector<std::string> left;  // after the installation
    bool touchedByRemoval = false;
};
struct Summary {
    std::vector<HostSummary> hosts;
    StagingSummary staging;
};

// Everything one command reports.
struct Outcome {
    std::string command;   // "run" or "demo"
    std::string scenario;  // the scenario folder ("" for the demo)
    std::vector<ActionReport> steps;
    std::vector<SessionResult> sessions;            // each installer session, in order
    std::map<std::string, std::string> properties;  // the last session's, at its end
    std::vector<ExpectationResult> expectations;
    std::optional<Summary> summary;
    int status = 0;
};

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
// The diff of a changed file that looks like text both before and after, or nullopt.
std::optional<std::string> textDiff(const FileChange& change);

// Bytes as lower-case hex pairs, `separator` between them.
std::string hexBytes(const std::vector<std::uint8_t>& bytes, const char* separator);

// How a condition's values read in a message: NAME="value", NAME unset.
std::string describeReferences(const std::vector<ConditionReference>& references);

}  // namespace casim

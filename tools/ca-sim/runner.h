// Runs actions of the library on a scenario's simulated machine and tells
// what each one changed.
#pragma once

#include "conditions.h"
#include "machine_state.h"
#include "package.h"
#include "scenario.h"
#include "sequences.h"

#include "platform/sim/machine.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace casim {

struct ActionReport {
    std::string session;     // "install", "remove", "ui+install", or "run" for named actions
    std::string action;      // the exported action, or "set"
    std::string property;    // for "set": the property and its value as the sequence writes it
    std::string value;
    int error = 0;           // for "error": the package's message number
    std::string folder;      // for "change": the scenario's folder copied over drive C:
    std::string condition;   // the sequence's condition, if any (the machine's code page)
    std::vector<ConditionReference> conditionValues;  // what the condition read
    bool skipped = false;    // the condition did not hold
    unsigned result = 0;     // the action's return value
    Changes changes;
    std::vector<sim::MessageBoxCall> messageBoxes;
    std::vector<std::string> openedTargets;
    std::vector<std::string> logMessages;
    int leakedHandles = 0;
    bool restartRequested = false;  // the action asked the installer for a restart at the end
};

// What one installer session (an msiexec run) ended with.
struct SessionResult {
    std::string name;               // "install", "ui+install", or "run" for named actions
    bool restartRequested = false;  // msiexec exits 3010
};

class SimulatedRun {
public:
    // Builds the scenario's machine in a fresh temporary folder.
    SimulatedRun(const Scenario& scenario, const Package& package);
    ~SimulatedRun();
    SimulatedRun(const SimulatedRun&) = delete;
    SimulatedRun& operator=(const SimulatedRun&) = delete;

    // A new installer session: the scenario's starting properties, msiexec's
    // own, and `extra`. Files and registry carry over; properties do not.
    void startSession(const std::map<std::string, std::string>& extra = {});
    ActionReport run(const std::string& action);
    // Runs a sequence in a new session; actions whose condition fails are
    // reported as skipped. An error step whose condition holds is the last
    // one reported: the installation stops there. The scenario's files held
    // during that sequence, the `index`th (from 0) of the scenario's, are held
    // while it runs.
    std::vector<ActionReport> runSequence(const std::string& name, const std::vector<SequencedAction>& actions,
                                          std::size_t index);
    // Runs named actions in the current session, as the install sequence's
    // msiexec runs them, with the files held during it held.
    std::vector<ActionReport> runActions(const std::vector<Named>& actions);
    // The machine restarts: held files are let go and the pending file
    // operations run. Reported as a step of its own ("restart").
    ActionReport restart();
    // The host changes between sessions: the files of the scenario's folder
    // are copied over drive C: (each folder and file found as Windows finds
    // it, whatever its case). Reported as a step of its own ("change").
    ActionReport change(const Change& change);
    // The session that ran last and whether it asked for a restart.
    SessionResult sessionResult(const std::string& name) const;
    // Places a stand-in for each file of the package's payload that the
    // all-users folder lacks, as msiexec places the package's own files;
    // returns how many it placed.
    int stagePayload();
    MachineState state() const;
    // Whether each step's report tells what it changed (the default); a run
    // that wants only the end states is several times faster without.
    void tellChanges(bool tell) { tellChanges_ = tell; }
    // What a condition reads in the current session.
    ConditionInputs conditionInputs() const;
    sim::Machine& machine() { return *machine_; }

    // Writes the machine as a scenario folder that runs as it is: machine.reg
    // (the whole registry: a registry/ folder there goes),
    // drive_c/ (a ".keep" file in each empty folder), scenario.txt saying
    // `ran` (what the run started from and ran), and the session's
    // properties.txt and controls.txt (the destination dialog's rows), and
    // the folders that its "change" lines copy from.
    // Everything is written beside the folder's old content first, so a
    // failure leaves it as it was.
    void save(const std::filesystem::path& folder, const Scenario& ran) const;

private:
    ActionReport runStep(const SequencedAction& step, const ConditionInputs& inputs);
    // Holds the files that the scenario holds while the session `name` runs,
    // the `index`th (from 0) of the scenario's sequences.
    void holdFor(const std::string& name, std::size_t index);

    Scenario scenario_;
    Package package_;
    std::filesystem::path root_;
    std::unique_ptr<sim::Machine> machine_;
    bool tellChanges_ = true;
};

// The folder --save or --keep may write to: missing, or empty, or (with
// `force`) anything that is not a file. Creates it and checks that it can be
// written; throws ScenarioError (before anything runs) when not.
void prepareOutputFolder(const std::filesystem::path& folder, bool force, const char* option);

}  // namespace casim

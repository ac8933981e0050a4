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
    std::string condition;   // the sequence's condition, if any (the machine's code page)
    std::vector<ConditionReference> conditionValues;  // what the condition read
    bool skipped = false;    // the condition did not hold
    unsigned result = 0;     // the action's return value
    Changes changes;
    std::vector<sim::MessageBoxCall> messageBoxes;
    std::vector<std::string> openedTargets;
    std::vector<std::string> logMessages;
    int leakedHandles = 0;
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
    // Runs a sequence in a new session; actions whose condition fails are reported as skipped.
    std::vector<ActionReport> runSequence(const std::string& name, const std::vector<SequencedAction>& actions);
    MachineState state() const;
    // What a condition reads in the current session.
    ConditionInputs conditionInputs() const;
    sim::Machine& machine() { return *machine_; }

    // Writes the machine as a scenario folder that runs as it is: machine.reg,
    // drive_c/ (a ".keep" file in each empty folder), scenario.txt saying
    // `ran` (what the run started from and ran), and the session's
    // properties.txt and controls.txt (the destination dialog's rows).
    // Everything is written beside the folder's old content first, so a
    // failure leaves it as it was.
    void save(const std::filesystem::path& folder, const Scenario& ran) const;

private:
    ActionReport runStep(const SequencedAction& step, const ConditionInputs& inputs);

    Scenario scenario_;
    Package package_;
    std::filesystem::path root_;
    std::unique_ptr<sim::Machine> machine_;
};

// The folder --save or --keep may write to: missing, or empty, or (with
// `force`) anything that is not a file. Creates it and checks that it can be
// written; throws ScenarioError (before anything runs) when not.
void prepareOutputFolder(const std::filesystem::path& folder, bool force, const char* option);

}  // namespace casim

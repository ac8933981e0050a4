// Runs actions of the library on a scenario's simulated machine and tells
// what each one changed.
#pragma once

#include "scenario.h"
#include "package.h"
#include "sequences.h"

#include "platform/sim/machine.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace casim {

// What a machine holds that an action can change.
struct MachineState {
    std::map<std::string, std::string> properties;
    // "C:\\folder\\file" -> content; folders map to nullopt.
    std::map<std::string, std::optional<std::string>> files;
    sim::Registry::Flat registry;
    std::vector<sim::ControlRow> controlRows;
};

struct Change {
    enum class Kind { added, changed, removed } kind;
    std::string what;  // "property", "file", "folder", "registry", "control"
    std::string name;
    std::string before;
    std::string after;
};

struct ActionReport {
    std::string session;    // "install", "remove", or "run" for named actions
    std::string action;
    std::string condition;  // the sequence's condition, if any
    bool skipped = false;   // the condition did not hold
    unsigned result = 0;
    std::vector<Change> changes;
    std::vector<sim::MessageBoxCall> messageBoxes;
    std::vector<std::string> openedTargets;
    std::vector<std::string> logMessages;
    int leakedHandles = 0;
};

// True when `name` is an exported action of the library.
bool isKnownAction(const std::string& name);
std::string knownActionList();

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
    // Writes the machine as a scenario folder: machine.reg, drive_c/, and the
    // session's properties.txt and controls.txt (the destination dialog's rows).
    void save(const std::filesystem::path& folder) const;
    sim::Machine& machine() { return *machine_; }

private:
    Scenario scenario_;
    Package package_;
    std::filesystem::path root_;
    std::unique_ptr<sim::Machine> machine_;
};

std::vector<Change> diff(const MachineState& before, const MachineState& after);

}  // namespace casim

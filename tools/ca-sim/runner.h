// Runs actions of the library on a scenario's simulated machine and tells
// what each one changed.
#pragma once

#include "scenario.h"

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
    std::string action;
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
    explicit SimulatedRun(const Scenario& scenario);
    ~SimulatedRun();
    SimulatedRun(const SimulatedRun&) = delete;
    SimulatedRun& operator=(const SimulatedRun&) = delete;

    ActionReport run(const std::string& action);
    MachineState state() const;
    // Writes the machine as a scenario folder: machine.reg, drive_c/, properties.txt.
    void save(const std::filesystem::path& folder) const;
    sim::Machine& machine() { return *machine_; }

private:
    std::filesystem::path root_;
    std::unique_ptr<sim::Machine> machine_;
};

std::vector<Change> diff(const MachineState& before, const MachineState& after);

}  // namespace casim

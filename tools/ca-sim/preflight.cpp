#include "preflight.h"

#include "host_summary.h"
#include "runner.h"

#include "model/release_table.h"

#include <algorithm>

namespace casim {
namespace {

constexpr int kRestartExit = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED

bool sameFolder(std::string a, std::string b)
{
    const auto fold = [](std::string& s) {
        while (!s.empty() && s.back() == '\\') s.pop_back();
        for (char& c : s)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    };
    fold(a);
    fold(b);
    return a == b;
}

std::string property(const std::map<std::string, std::string>& properties, const std::string& name)
{
    const auto it = properties.find(name);
    return it == properties.end() ? std::string() : it->second;
}

// The folder as the machine spells it (its files name it so), without a final separator.
std::string spelled(const std::string& folder, const MachineState& machine)
{
    for (const auto& [name, content] : machine.files)
        if (!content && sameFolder(name, folder)) return name;
    std::string trimmed = folder;
    while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
    return trimmed;
}

// Every host folder the installation session knew of: the release slots',
// the check boxes' and the browsed one, each once.
std::vector<std::string> hostsFound(const MachineState& machine)
{
    std::vector<std::string> names;
    for (const ca::ReleaseSlot& slot : ca::kReleaseSlots) names.push_back(slot.folderProperty);
    for (const ca::CustomSlotNames& box : ca::kCustomSlots) names.push_back(box.dirProperty);
    names.push_back(ca::kBrowsedFolderProperty);
    std::vector<std::string> found;
    for (const auto& name : names) {
        const std::string folder = property(machine.properties, name);
        const bool known = std::any_of(found.begin(), found.end(), [&](const auto& f) { return sameFolder(f, folder); });
        if (!folder.empty() && !known) found.push_back(spelled(folder, machine));
    }
    return found;
}

bool below(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path[folder.size()] == '\\' && sameFolder(path.substr(0, folder.size()), folder);
}

// Files the installation placed or replaced in the folder, its protk.dat aside.
bool deployedInto(const std::string& folder, const Changes& installation)
{
    return std::any_of(installation.files.begin(), installation.files.end(), [&](const FileChange& c) {
        return !c.folder && below(c.path, folder) && !sameFolder(c.path, folder + "\\text\\protk.dat");
    });
}

const ActionReport* errorStep(const std::vector<ActionReport>& steps)
{
    for (const auto& r : steps)
        if (r.action == "error" && !r.skipped) return &r;
    return nullptr;
}

// Why an error step stopped the sequence: the log line in which a step
// before it set what the error's condition reads ("checkProTKAccess:
// PROTK_WRITE set to NO, ..."), or else the values the condition read.
std::string whyStopped(const std::vector<ActionReport>& steps, const ActionReport& error)
{
    const std::string step = "error " + std::to_string(error.error) + " (" + describeReferences(error.conditionValues) + ")";
    for (auto r = steps.rbegin(); r != steps.rend(); ++r)
        for (const auto& line : r->logMessages)
            for (const auto& value : error.conditionValues)
                if (!value.symbol.empty() && line.find(value.symbol + " set to") != std::string::npos)
                    return step + ": " + line;
    return step;
}

int exitCode(const std::vector<ActionReport>& steps, bool restart)
{
    if (const ActionReport* error = errorStep(steps)) return static_cast<int>(error->result);
    return restart ? kRestartExit : 0;
}

void tellInstallation(MachineCheck& m, const std::vector<ActionReport>& steps, const MachineState& installed,
                      bool restart)
{
    m.found = hostsFound(installed);
    m.installExit = exitCode(steps, restart);
    if (const ActionReport* error = errorStep(steps)) m.stop = whyStopped(steps, *error);
    m.filesInUse = property(installed.properties, "FILESINUSE");
    m.restartFile = property(installed.properties, "ORVELLA_RESTART");
}

void tellRemoval(MachineCheck& m, const std::vector<ActionReport>& steps, const MachineState& removed, bool restart)
{
    m.removeExit = exitCode(steps, restart);
    m.removalError = property(removed.properties, "ORVELLA_REMOVE_ERROR");
    if (const ActionReport* error = errorStep(steps); error && m.removalError.empty())
        m.removalError = whyStopped(steps, *error);
}

void tellHosts(MachineCheck& m, const MachineState& start, const MachineState& installed, const MachineState& removed)
{
    const Changes installation = diff(start, installed);
    for (const auto& folder : m.found) {
        HostSummary h = summarizeHost(folder, start, installed, removed);
        const auto protk = std::find_if(installed.files.begin(), installed.files.end(), [&](const auto& file) {
            return file.second && sameFolder(file.first, folder + "\\text\\protk.dat");
        });
        if (protk != installed.files.end() && orvellaEntries(*protk->second) > 0) m.registered.push_back(folder);
        if (deployedInto(folder, installation)) m.deployed.push_back(folder);
        m.hosts.push_back(std::move(h));
    }
}

}  // namespace

Readiness MachineCheck::readiness() const
{
    if (!unreadable.empty()) return Readiness::unreadable;
    if (installExit == kInstallFailure) return Readiness::stopped;
    const bool restored = std::all_of(hosts.begin(), hosts.end(), [](const auto& h) { return h.differences.empty(); });
    if (removeExit == kInstallFailure || !restored) return Readiness::notRestored;
    if (installExit == kRestartExit || removeExit == kRestartExit) return Readiness::restart;
    return Readiness::ready;
}

MachineCheck checkMachine(const std::filesystem::path& folder, const Package& package,
                          const std::vector<Setting>& properties)
{
    MachineCheck m;
    m.folder = folder.string();
    try {
        Scenario scenario = loadScenario(folder);
        const sim::CodePage codePage = machineCodePage(scenario);
        m.codePage = codePage.number();
        for (Setting s : properties) {
            const auto ansi = codePage.fromUtf8Exactly(s.value);
            if (!ansi)
                throw std::runtime_error("--property " + s.name + ": the value is not text that code page " +
                                         std::to_string(codePage.number()) + " can hold");
            s.value = *ansi;
            scenario.properties.push_back(s);
        }
        SimulatedRun run(scenario, package);
        run.tellChanges(false);
        run.stagePayload();  // msiexec places the package's files; a snapshot has none
        const MachineState start = run.state();
        const auto install = run.runSequence("install", package.sequences.at("install"), 0);
        const MachineState installed = run.state();
        const bool restart = run.machine().restartRequested();
        tellInstallation(m, install, installed, restart);
        // The seat restarts before anyone removes the add-in.
        if (restart) run.machine().restart();
        const auto remove = run.runSequence("remove", package.sequences.at("remove"), 1);
        const MachineState removed = run.state();
        tellRemoval(m, remove, removed, run.machine().restartRequested());
        tellHosts(m, start, installed, removed);
    } catch (const std::exception& e) {
        m = MachineCheck{};
        m.folder = folder.string();
        m.unreadable = e.what();
    }
    return m;
}

}  // namespace casim

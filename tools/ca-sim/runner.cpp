#include "runner.h"

#include "conditions.h"
#include "text.h"
#include "staging.h"

#include "actions/exports.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace casim {
namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The host names files in UTF-8; the machine in its code page.
std::string windowsName(const fs::path& relative)
{
    std::string name = "C:";
    for (const auto& part : relative) name += "\\" + codePage().fromUtf8(part.string());
    return name;
}

void writeFile(const fs::path& file, const std::string& content)
{
    std::ofstream out(file, std::ios::binary);
    out << content;
    out.close();
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

// git keeps no empty folder: each gets a ".keep" file, which loading drops.
void addKeepFiles(const fs::path& driveC)
{
    std::vector<fs::path> empty;
    if (fs::is_empty(driveC)) empty.push_back(driveC);
    for (const auto& entry : fs::recursive_directory_iterator(driveC))
        if (entry.is_directory() && !entry.is_symlink() && fs::is_empty(entry.path())) empty.push_back(entry.path());
    for (const auto& folder : empty) writeFile(folder / ".keep", "");
}

std::string randomName(const char* prefix)
{
    std::random_device rd;
    return prefix + std::to_string(rd()) + std::to_string(rd());
}

}  // namespace

SimulatedRun::SimulatedRun(const Scenario& scenario, const Package& package) : scenario_(scenario), package_(package)
{
    root_ = fs::temp_directory_path() / randomName("ca-sim-");
    fs::create_directories(root_ / "drive_c");
    try {
        const fs::path driveC = scenario.folder / "drive_c";
        if (fs::exists(driveC)) {
            fs::copy(driveC, root_ / "drive_c", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
            // A ".keep" file only keeps an empty folder in git; the machine has the folder without it.
            std::vector<fs::path> keeps;
            for (const auto& entry : fs::recursive_directory_iterator(root_ / "drive_c"))
                if (entry.path().filename() == ".keep" && entry.is_regular_file()) keeps.push_back(entry.path());
            for (const auto& keep : keeps) fs::remove(keep);
        }
        machine_ = std::make_unique<sim::Machine>(root_ / "drive_c");
        machine_->setCodePage(machineCodePage(scenario));
        for (const auto& file : scenario.registryFiles) machine_->registry().importFile(file);
        // As on a stock machine (Wine's too).
        machine_->setEnv("ALLUSERSPROFILE", "C:\\ProgramData");
        for (const auto& e : scenario.environment) machine_->setEnv(e.name, e.value);
        startSession();
    } catch (...) {
        machine_.reset();
        std::error_code ec;
        fs::remove_all(root_, ec);
        throw;
    }
}

void SimulatedRun::startSession(const std::map<std::string, std::string>& extra)
{
    auto& properties = machine_->properties();
    properties.clear();
    properties["UILevel"] = "2";  // msiexec /qn
    for (const auto& p : scenario_.properties) properties[p.name] = p.value;
    for (const auto& [name, value] : extra) properties[name] = value;
    for (auto it = properties.begin(); it != properties.end();)
        it = it->second.empty() ? properties.erase(it) : std::next(it);
    machine_->controlRows() = package_.controlRows;
    machine_->setRestartRequested(false);
}

// "hold PATH SEQUENCE...": held while a session runs that follows the line
// (and precedes the restart after it) and is one of those sequences or joins
// one with others ("ui+install"); with none named, every such session.
void SimulatedRun::holdFor(const std::string& name, std::size_t index)
{
    for (const Hold& hold : scenario_.holds) {
        if (index < hold.afterSequences || (hold.untilSequences && index >= *hold.untilSequences)) continue;
        bool during = hold.sequences.empty();
        for (const std::string& sequence : hold.sequences) {
            std::stringstream parts(name);
            for (std::string part; std::getline(parts, part, '+');) during = during || part == sequence;
            during = during || sequence == name;
        }
        if (during) machine_->holdFile(hold.path);
    }
}

std::vector<ActionReport> SimulatedRun::runActions(const std::vector<Named>& actions)
{
    holdFor("install", 0);
    std::vector<ActionReport> reports;
    for (const Named& action : actions) reports.push_back(run(action.name));
    machine_->releaseFiles();
    return reports;
}

ActionReport SimulatedRun::restart()
{
    ActionReport report;
    report.session = "restart";
    report.action = "restart";
    const MachineState before = state();
    machine_->restart();
    report.changes = diff(before, state());
    return report;
}

ActionReport SimulatedRun::change(const Change& change)
{
    ActionReport report;
    report.session = "change";
    report.action = "change";
    report.folder = change.folder;
    const MachineState before = state();
    const fs::path source = (change.root.empty() ? scenario_.folder : change.root) / change.folder;
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        // A ".keep" file only keeps an empty folder in git.
        if (entry.path().filename() == ".keep") continue;
        const auto target = machine_->hostPath(windowsName(fs::relative(entry.path(), source)));
        if (!target) throw std::runtime_error("change " + change.folder + ": no place on drive C: for " + entry.path().string());
        if (entry.is_directory())
            fs::create_directories(*target);
        else
            fs::copy_file(entry.path(), *target, fs::copy_options::overwrite_existing);
    }
    report.changes = diff(before, state());
    return report;
}

SessionResult SimulatedRun::sessionResult(const std::string& name) const
{
    return {name, machine_->restartRequested()};
}

ConditionInputs SimulatedRun::conditionInputs() const
{
    ConditionInputs inputs;
    inputs.property = [this](const std::string& n) -> std::optional<std::string> {
        auto it = machine_->properties().find(n);
        if (it == machine_->properties().end()) return std::nullopt;
        return it->second;
    };
    inputs.environment = [this](const std::string& n) { return machine_->env(n); };
    inputs.state = [this](char kind, const std::string& n) -> std::optional<int> {
        const auto& list = kind == '&' || kind == '!' ? scenario_.features : scenario_.components;
        for (auto it = list.rbegin(); it != list.rend(); ++it)
            if (it->name == n) return kind == '&' || kind == '$' ? it->action : it->installed;
        return std::nullopt;
    };
    return inputs;
}

// A "set" step formats its value as a type 51 custom action does.
ActionReport SimulatedRun::runStep(const SequencedAction& step, const ConditionInputs& inputs)
{
    if (step.action == "error") {
        ActionReport stopped;
        stopped.result = kInstallFailure;
        return stopped;
    }
    if (step.action != "set") return run(step.action);
    const std::string value =
        formatText(step.value, [&](const std::string& n) { return inputs.property(n).value_or(""); },
                   [&](const std::string& n) { return inputs.environment(n).value_or(""); });
    const MachineState before = tellChanges_ ? state() : MachineState{};
    if (value.empty())
        machine_->properties().erase(step.property);
    else
        machine_->properties()[step.property] = value;
    ActionReport report;
    if (tellChanges_) report.changes = diff(before, state());
    return report;
}

std::vector<ActionReport> SimulatedRun::runSequence(const std::string& name, const std::vector<SequencedAction>& actions,
                                                    std::size_t index)
{
    startSession(sequenceProperties(name));
    holdFor(name, index);
    std::vector<ActionReport> reports;
    for (const auto& step : actions) {
        if (step.action == kInstallFinalize) continue;  // the scenario's staging area stands for the package's files
        const ConditionInputs inputs = conditionInputs();
        const Evaluation check = step.condition.evaluate(inputs);
        const bool skipped = check.verdict == Verdict::falseResult;
        ActionReport report = skipped ? ActionReport{} : runStep(step, inputs);
        report.session = name;
        report.action = step.action;
        report.property = step.property;
        report.value = step.value;
        report.error = step.error;
        report.condition = step.condition.text();
        report.conditionValues = check.references;
        report.skipped = skipped;
        reports.push_back(std::move(report));
        if (step.action == "error" && !reports.back().skipped) break;
    }
    machine_->releaseFiles();
    return reports;
}

SimulatedRun::~SimulatedRun()
{
    machine_.reset();
    std::error_code ec;
    fs::remove_all(root_, ec);
}

int SimulatedRun::stagePayload()
{
    int placed = 0;
    for (const auto& [path, content] : payloadStandIns(machine_->env("ALLUSERSPROFILE").value_or(""))) {
        const auto file = machine_->hostPath(path);
        std::error_code ec;
        if (!file || fs::exists(*file, ec)) continue;
        fs::create_directories(file->parent_path());
        writeFile(*file, content);
        ++placed;
    }
    return placed;
}

MachineState SimulatedRun::state() const
{
    MachineState s;
    s.properties = machine_->properties();
    const fs::path driveC = root_ / "drive_c";
    for (auto it = fs::recursive_directory_iterator(driveC); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = windowsName(fs::relative(it->path(), driveC));
        if (it->is_directory())
            s.files[name] = std::nullopt;
        else
            s.files[name] = readAll(it->path());
    }
    s.registry = machine_->registry().flatten();
    s.controlRows = machine_->controlRows();
    return s;
}

ActionReport SimulatedRun::run(const std::string& action)
{
    ActionReport report;
    report.session = "run";
    report.action = action;
    const MachineState before = tellChanges_ ? state() : MachineState{};
    machine_->messageBoxes().clear();
    machine_->openedTargets().clear();
    machine_->logMessages().clear();
    // Whether this action asks, whatever the ones before it in the session did.
    const bool asked = machine_->restartRequested();
    machine_->setRestartRequested(false);
    for (const auto& entry : ca::kExportedActions)
        if (action == entry.name) report.result = entry.entry(machine_->session());
    report.restartRequested = machine_->restartRequested();
    machine_->setRestartRequested(asked || report.restartRequested);
    if (tellChanges_) report.changes = diff(before, state());
    report.messageBoxes = machine_->messageBoxes();
    report.openedTargets = machine_->openedTargets();
    report.logMessages = machine_->logMessages();
    report.leakedHandles = machine_->openHandles();
    return report;
}

void SimulatedRun::save(const fs::path& folder, const Scenario& ran) const
{
    fs::create_directories(folder);
    const fs::path staging = folder / randomName(".ca-sim-save-");
    struct Cleanup {
        fs::path path;
        ~Cleanup()
        {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } cleanup{staging};
    fs::create_directory(staging);

    writeFile(staging / "machine.reg", machine_->registry().exportText());
    std::string properties;
    for (const auto& [name, value] : machine_->properties()) properties += name + "=" + utf8FromAnsi(value) + "\n";
    writeFile(staging / "properties.txt", properties);
    // The destination dialog's rows, one "Control<TAB>Type<TAB>Property<TAB>Help" line each.
    std::string controls;
    for (const auto& row : machine_->controlRows())
        if (row.fields[0] == "RunTimeDestinationFolder")
            controls +=
                utf8FromAnsi(row.fields[1] + "\t" + row.fields[2] + "\t" + row.fields[8] + "\t" + row.fields[11]) +
                "\n";
    writeFile(staging / "controls.txt", controls);
    writeFile(staging / "scenario.txt",
              scenarioText(ran, {"Saved by ca-sim: the machine (machine.reg, drive_c/) as the run left it, and",
                                 "what the run started with and ran. properties.txt holds the session's",
                                 "properties at its end."}));

    fs::copy(root_ / "drive_c", staging / "drive_c", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    addKeepFiles(staging / "drive_c");
    // The folders that the changes copy from go along, so that the saved scenario runs.
    std::vector<std::string> names{"machine.reg", "properties.txt", "controls.txt", "scenario.txt", "drive_c"};
    for (const Change& change : ran.changes) {
        const std::string top = fs::path(change.folder).begin()->string();
        if (std::find(names.begin(), names.end(), top) != names.end()) continue;
        const fs::path root = change.root.empty() ? scenario_.folder : change.root;
        fs::copy(root / top, staging / top, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        names.push_back(top);
    }

    for (const std::string& name : names) {
        fs::remove_all(folder / name);
        fs::rename(staging / name, folder / name);
    }
    // machine.reg holds the whole registry now.
    fs::remove_all(folder / "registry");
}

void prepareOutputFolder(const fs::path& folder, bool force, const char* option)
{
    const std::string where = folder.string();
    std::error_code ec;
    const auto status = fs::symlink_status(folder, ec);
    if (fs::exists(status)) {
        if (!fs::is_directory(fs::status(folder, ec))) throw ScenarioError(where, 0, std::string(option) + ": not a folder");
        if (!force && !fs::is_empty(folder, ec))
            throw ScenarioError(where, 0, std::string(option) + ": the folder is not empty (--force writes into it)");
    }
    fs::create_directories(folder, ec);
    if (ec) throw ScenarioError(where, 0, std::string(option) + ": cannot create the folder: " + ec.message());
    const fs::path probe = folder / randomName(".ca-sim-write-test-");
    bool writable = false;
    {
        std::ofstream out(probe, std::ios::binary);
        writable = static_cast<bool>(out << "x") && (out.close(), static_cast<bool>(out));
    }
    fs::remove(probe, ec);
    if (!writable) throw ScenarioError(where, 0, std::string(option) + ": the folder cannot be written");
}

}  // namespace casim

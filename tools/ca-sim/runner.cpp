#include "runner.h"

#include "conditions.h"

#include "actions/exports.h"

#include "text.h"

#include <algorithm>
#include <fstream>
#include <set>
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

bool isKnownAction(const std::string& name)
{
    for (const auto& action : ca::kExportedActions)
        if (name == action.name) return true;
    return false;
}

std::vector<std::string> knownActions()
{
    std::vector<std::string> names;
    for (const auto& action : ca::kExportedActions) names.emplace_back(action.name);
    return names;
}

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
        machine_->setCodePage(scenario.codePage);
        useCodePage(scenario.codePage);
        machine_->registry().importFile(scenario.folder / "machine.reg");
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

std::vector<ActionReport> SimulatedRun::runSequence(const std::string& name, const std::vector<SequencedAction>& actions)
{
    startSession(sequenceProperties(name));
    std::vector<ActionReport> reports;
    for (const auto& step : actions) {
        const ConditionInputs inputs = conditionInputs();
        const Evaluation check = evaluate(step.condition, inputs);
        ActionReport report;
        if (step.action == "set") {
            report.property = step.property;
            report.value = step.value;
        }
        if (check.verdict != Verdict::falseResult) {
            if (step.action == "set") {
                const std::string value = formatText(
                    step.value, [&](const std::string& n) { return inputs.property(n).value_or(""); },
                    [&](const std::string& n) { return inputs.environment(n).value_or(""); });
                const MachineState before = state();
                if (value.empty())
                    machine_->properties().erase(step.property);
                else
                    machine_->properties()[step.property] = value;
                report.changes = diff(before, state());
            } else {
                ActionReport ran = run(step.action);
                ran.property = report.property;
                ran.value = report.value;
                report = std::move(ran);
            }
        }
        report.action = step.action;
        report.skipped = check.verdict == Verdict::falseResult;
        report.session = name;
        report.condition = step.condition;
        report.conditionValues = check.references;
        reports.push_back(std::move(report));
    }
    return reports;
}

SimulatedRun::~SimulatedRun()
{
    machine_.reset();
    std::error_code ec;
    fs::remove_all(root_, ec);
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

std::vector<Change> diff(const MachineState& before, const MachineState& after)
{
    using K = Change::Kind;
    using W = Change::What;
    std::vector<Change> changes;
    for (const auto& [name, value] : before.properties) {
        auto it = after.properties.find(name);
        if (it == after.properties.end())
            changes.push_back({K::removed, W::property, name, {}, value, {}, {}, {}, {}, {}});
        else if (it->second != value)
            changes.push_back({K::changed, W::property, name, {}, value, it->second, {}, {}, {}, {}});
    }
    for (const auto& [name, value] : after.properties)
        if (!before.properties.count(name)) changes.push_back({K::added, W::property, name, {}, {}, value, {}, {}, {}, {}});

    for (const auto& [name, content] : before.files) {
        auto it = after.files.find(name);
        const W what = content ? W::file : W::folder;
        if (it == after.files.end())
            changes.push_back({K::removed, what, name, {}, content, {}, {}, {}, {}, {}});
        else if (it->second != content)
            changes.push_back({K::changed, what, name, {}, content, it->second, {}, {}, {}, {}});
    }
    for (const auto& [name, content] : after.files)
        if (!before.files.count(name))
            changes.push_back({K::added, content ? W::file : W::folder, name, {}, {}, content, {}, {}, {}, {}});

    // Keys too: one can be created or deleted with no value in it.
    for (const auto& [key, values] : before.registry)
        if (!key.empty() && !after.registry.count(key))
            changes.push_back({K::removed, W::registryKey, "HKLM\\" + key, {}, {}, {}, {}, {}, {}, {}});
    for (const auto& [key, values] : after.registry)
        if (!key.empty() && !before.registry.count(key))
            changes.push_back({K::added, W::registryKey, "HKLM\\" + key, {}, {}, {}, {}, {}, {}, {}});
    static const std::map<std::string, sim::RegValue> kNone;
    const auto valuesOf = [](const sim::Registry::Flat& flat, const std::string& key) -> const auto& {
        auto it = flat.find(key);
        return it == flat.end() ? kNone : it->second;
    };
    std::set<std::string> keys;
    for (const auto& [key, values] : before.registry) keys.insert(key);
    for (const auto& [key, values] : after.registry) keys.insert(key);
    for (const auto& key : keys) {
        const auto& was = valuesOf(before.registry, key);
        const auto& now = valuesOf(after.registry, key);
        for (const auto& [name, value] : was) {
            auto it = now.find(name);
            if (it == now.end())
                changes.push_back({K::removed, W::registryValue, "HKLM\\" + key, name, {}, {}, value, {}, {}, {}});
            else if (!(it->second == value))
                changes.push_back({K::changed, W::registryValue, "HKLM\\" + key, name, {}, {}, value, it->second, {}, {}});
        }
        for (const auto& [name, value] : now)
            if (!was.count(name))
                changes.push_back({K::added, W::registryValue, "HKLM\\" + key, name, {}, {}, {}, value, {}, {}});
    }

    if (before.controlRows != after.controlRows) {
        for (const auto& row : before.controlRows)
            if (std::find(after.controlRows.begin(), after.controlRows.end(), row) == after.controlRows.end())
                changes.push_back({K::removed, W::control, row.fields[1], {}, {}, {}, {}, {}, row, {}});
        for (const auto& row : after.controlRows)
            if (std::find(before.controlRows.begin(), before.controlRows.end(), row) == before.controlRows.end())
                changes.push_back({K::added, W::control, row.fields[1], {}, {}, {}, {}, {}, {}, row});
    }
    return changes;
}

ActionReport SimulatedRun::run(const std::string& action)
{
    ActionReport report;
    report.session = "run";
    report.action = action;
    const MachineState before = state();
    machine_->messageBoxes().clear();
    machine_->openedTargets().clear();
    machine_->logMessages().clear();
    for (const auto& entry : ca::kExportedActions)
        if (action == entry.name) report.result = entry.entry(machine_->session());
    report.changes = diff(before, state());
    report.messageBoxes = machine_->messageBoxes();
    report.openedTargets = machine_->openedTargets();
    report.logMessages = machine_->logMessages();
    report.leakedHandles = machine_->openHandles();
    return report;
}

void SimulatedRun::save(const fs::path& folder, const std::vector<std::string>& steps) const
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

    std::string text =
        "# Saved by ca-sim: the machine (machine.reg, drive_c/) as the run left it, and\n"
        "# what the run started with and ran. properties.txt holds the session's\n"
        "# properties at its end.\n";
    if (scenario_.codePage != sim::CodePage()) text += "codepage " + std::to_string(scenario_.codePage.number()) + "\n";
    for (const auto& p : scenario_.properties) text += "property " + p.name + "=" + utf8FromAnsi(p.value) + "\n";
    for (const auto& e : scenario_.environment) text += "env " + e.name + "=" + utf8FromAnsi(e.value) + "\n";
    for (const auto& f : scenario_.features)
        text += "feature " + f.name + "=" + std::to_string(f.action) + " installed=" + std::to_string(f.installed) + "\n";
    for (const auto& c : scenario_.components)
        text += "component " + c.name + "=" + std::to_string(c.action) + " installed=" + std::to_string(c.installed) + "\n";
    for (const auto& step : steps) text += step + "\n";
    writeFile(staging / "scenario.txt", text);

    fs::copy(root_ / "drive_c", staging / "drive_c", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    addKeepFiles(staging / "drive_c");

    for (const char* name : {"machine.reg", "properties.txt", "controls.txt", "scenario.txt", "drive_c"}) {
        fs::remove_all(folder / name);
        fs::rename(staging / name, folder / name);
    }
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

#include "runner.h"

#include "conditions.h"

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

std::string windowsName(const fs::path& relative)
{
    std::string name = "C:";
    for (const auto& part : relative) name += "\\" + part.string();
    return name;
}

std::string describe(const sim::RegValue& v)
{
    if ((v.type == 1 || v.type == 2) && !v.data.empty() && v.data.back() == 0) {
        std::string text(v.data.begin(), v.data.end() - 1);
        const auto nul = text.find('\0');
        std::string shown = "\"" + text.substr(0, nul) + "\"";
        if (nul != std::string::npos || v.data.size() > 1 + text.size())
            shown += " (" + std::to_string(v.data.size()) + " bytes)";
        return shown;
    }
    if (v.type == 4 && v.data.size() == 4) {
        const unsigned n = v.data[0] | v.data[1] << 8 | v.data[2] << 16 | static_cast<unsigned>(v.data[3]) << 24;
        return "dword:" + std::to_string(n);
    }
    std::ostringstream out;
    out << "hex(" << v.type << "):";
    for (std::size_t i = 0; i < v.data.size(); ++i) {
        static const char* digits = "0123456789abcdef";
        out << (i ? "," : "") << digits[v.data[i] >> 4] << digits[v.data[i] & 15];
    }
    return out.str();
}

std::string describeRow(const sim::ControlRow& row)
{
    std::string text = row.temporary ? "temporary " : "";
    for (std::size_t i = 0; i < row.fields.size(); ++i) text += (i ? "|" : "") + row.fields[i];
    return text;
}

template <typename Map, typename Describe>
void diffMaps(const Map& before, const Map& after, const char* what, Describe describeValue, std::vector<Change>& out)
{
    for (const auto& [name, value] : before) {
        auto it = after.find(name);
        if (it == after.end())
            out.push_back({Change::Kind::removed, what, name, describeValue(value), {}});
        else if (!(it->second == value))
            out.push_back({Change::Kind::changed, what, name, describeValue(value), describeValue(it->second)});
    }
    for (const auto& [name, value] : after)
        if (!before.count(name)) out.push_back({Change::Kind::added, what, name, {}, describeValue(value)});
}

}  // namespace

bool isKnownAction(const std::string& name)
{
    for (const auto& action : ca::kExportedActions)
        if (name == action.name) return true;
    return false;
}

std::string knownActionList()
{
    std::string list;
    for (const auto& action : ca::kExportedActions) list += std::string(list.empty() ? "" : ", ") + action.name;
    return list;
}

SimulatedRun::SimulatedRun(const Scenario& scenario, const Package& package) : scenario_(scenario), package_(package)
{
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("ca-sim-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(root_ / "drive_c");
    try {
        const fs::path driveC = scenario.folder / "drive_c";
        if (fs::exists(driveC)) {
            fs::copy(driveC, root_ / "drive_c", fs::copy_options::recursive);
            // A ".keep" file only keeps an empty folder in git; the machine has the folder without it.
            std::vector<fs::path> keeps;
            for (const auto& entry : fs::recursive_directory_iterator(root_ / "drive_c"))
                if (entry.path().filename() == ".keep" && entry.is_regular_file()) keeps.push_back(entry.path());
            for (const auto& keep : keeps) fs::remove(keep);
        }
        machine_ = std::make_unique<sim::Machine>(root_ / "drive_c");
        machine_->registry().importFile(scenario.folder / "machine.reg");
        // As on a stock machine (Wine's too).
        machine_->setEnv("ALLUSERSPROFILE", "C:\\ProgramData");
        for (const auto& [name, value] : scenario.environment) machine_->setEnv(name, value);
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
    for (const auto& [name, value] : scenario_.properties) properties[name] = value;
    for (const auto& [name, value] : extra) properties[name] = value;
    for (auto it = properties.begin(); it != properties.end();)
        it = it->second.empty() ? properties.erase(it) : std::next(it);
    machine_->controlRows() = package_.controlRows;
}

std::vector<ActionReport> SimulatedRun::runSequence(const std::string& name, const std::vector<SequencedAction>& actions)
{
    startSession(sequenceProperties(name));
    std::vector<ActionReport> reports;
    for (const auto& step : actions) {
        const Lookup property = [this](const std::string& n) -> std::optional<std::string> {
            auto it = machine_->properties().find(n);
            if (it == machine_->properties().end()) return std::nullopt;
            return it->second;
        };
        const Lookup environment = [this](const std::string& n) { return machine_->env(n); };
        if (!evaluateCondition(step.condition, property, environment)) {
            ActionReport skipped;
            skipped.session = name;
            skipped.action = step.action;
            skipped.condition = step.condition;
            skipped.skipped = true;
            reports.push_back(std::move(skipped));
            continue;
        }
        if (step.action == "set") {
            const std::string value = formatText(
                step.value, [&](const std::string& n) { return property(n).value_or(""); },
                [&](const std::string& n) { return environment(n).value_or(""); });
            ActionReport report;
            report.action = "set " + step.property + "=" + step.value;
            const MachineState before = state();
            if (value.empty())
                machine_->properties().erase(step.property);
            else
                machine_->properties()[step.property] = value;
            report.changes = diff(before, state());
            report.session = name;
            report.condition = step.condition;
            reports.push_back(std::move(report));
            continue;
        }
        ActionReport report = run(step.action);
        report.session = name;
        report.condition = step.condition;
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
    std::vector<Change> changes;
    diffMaps(before.properties, after.properties, "property", [](const std::string& v) { return v; }, changes);
    for (const auto& [name, content] : before.files) {
        auto it = after.files.find(name);
        const char* what = content ? "file" : "folder";
        if (it == after.files.end())
            changes.push_back({Change::Kind::removed, what, name, content.value_or(""), {}});
        else if (it->second != content)
            changes.push_back({Change::Kind::changed, what, name, content.value_or(""), it->second.value_or("")});
    }
    for (const auto& [name, content] : after.files)
        if (!before.files.count(name))
            changes.push_back({Change::Kind::added, content ? "file" : "folder", name, {}, content.value_or("")});
    std::map<std::string, sim::RegValue> regBefore, regAfter;
    for (const auto& [key, values] : before.registry)
        for (const auto& [name, value] : values) regBefore["HKLM\\" + key + " : " + name] = value;
    for (const auto& [key, values] : after.registry)
        for (const auto& [name, value] : values) regAfter["HKLM\\" + key + " : " + name] = value;
    // Keys too: one can be created or deleted with no value in it.
    for (const auto& [key, values] : before.registry)
        if (!key.empty() && !after.registry.count(key))
            changes.push_back({Change::Kind::removed, "registry", "HKLM\\" + key + " (key)", {}, {}});
    for (const auto& [key, values] : after.registry)
        if (!key.empty() && !before.registry.count(key))
            changes.push_back({Change::Kind::added, "registry", "HKLM\\" + key + " (key)", {}, {}});
    diffMaps(regBefore, regAfter, "registry", describe, changes);
    if (before.controlRows != after.controlRows) {
        for (const auto& row : before.controlRows)
            if (std::find(after.controlRows.begin(), after.controlRows.end(), row) == after.controlRows.end())
                changes.push_back({Change::Kind::removed, "control", row.fields[1], describeRow(row), {}});
        for (const auto& row : after.controlRows)
            if (std::find(before.controlRows.begin(), before.controlRows.end(), row) == before.controlRows.end())
                changes.push_back({Change::Kind::added, "control", row.fields[1], {}, describeRow(row)});
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

void SimulatedRun::save(const fs::path& folder) const
{
    fs::create_directories(folder);
    std::ofstream(folder / "machine.reg", std::ios::binary) << machine_->registry().exportText();
    std::ofstream props(folder / "properties.txt", std::ios::binary);
    for (const auto& [name, value] : machine_->properties()) props << name << "=" << value << "\n";
    // The destination dialog's rows, one "Control<TAB>Type<TAB>Property<TAB>Help" line each.
    std::ofstream controls(folder / "controls.txt", std::ios::binary);
    for (const auto& row : machine_->controlRows())
        if (row.fields[0] == "RunTimeDestinationFolder")
            controls << row.fields[1] << "\t" << row.fields[2] << "\t" << row.fields[8] << "\t" << row.fields[11] << "\n";
    const fs::path target = folder / "drive_c";
    std::error_code ec;
    fs::remove_all(target, ec);
    fs::copy(root_ / "drive_c", target, fs::copy_options::recursive);
}

}  // namespace casim

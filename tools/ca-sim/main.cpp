// ca-sim: runs the library's custom actions on a simulated Windows machine
// and shows what each one did to it.
#include "demo.h"
#include "package.h"
#include "report.h"
#include "runner.h"
#include "scenario.h"

#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

const char* kUsage =
    "usage: ca-sim run SCENARIO_DIR [ACTION...] [--sequence NAME]... [--json] [--save DIR] [--package DIR]\n"
    "       ca-sim demo [--json] [--keep DIR]\n"
    "       ca-sim actions\n"
    "       ca-sim sequences [--package DIR]\n"
    "\n"
    "run        runs the ACTIONs, or the named sequences (each in a new installer session, as msiexec /i\n"
    "           and msiexec /x would; \"ui+install\" runs both in one session, as a full UI does), or else\n"
    "           what the scenario's \"run\" or \"sequence\" lines say, on the\n"
    "           scenario's machine, and reports per action its result and everything it changed\n"
    "--json     the report as JSON\n"
    "--save     writes the machine after the run as a scenario folder (machine.reg, drive_c/, properties.txt)\n"
    "--package  the package folder whose sequences.txt and Control.idt to use (default: the sample package)\n"
    "demo       installs and removes the add-in on the built-in demo machine; --keep DIR keeps that machine\n"
    "actions    lists the actions the library exports\n"
    "sequences  lists the package's sequences with their actions and conditions\n"
    "\n"
    "Exit status: 0 done, 1 an expectation of the scenario failed or an action left a handle open, 2 bad input.\n";

struct Options {
    std::vector<std::string> positional;
    std::vector<std::string> sequences;
    bool json = false;
    std::string save;
    std::string keep;
    std::string package = CA_SIM_PACKAGE_DIR;
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

Options parseOptions(const std::vector<std::string>& args)
{
    Options o;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* flag) {
            if (i + 1 >= args.size()) throw UsageError(std::string(flag) + " needs a value");
            return args[++i];
        };
        if (a == "--json")
            o.json = true;
        else if (a == "--save")
            o.save = value("--save");
        else if (a == "--keep")
            o.keep = value("--keep");
        else if (a == "--package")
            o.package = value("--package");
        else if (a == "--sequence")
            o.sequences.push_back(value("--sequence"));
        else if (a.rfind("--", 0) == 0)
            throw UsageError("unknown option " + a);
        else
            o.positional.push_back(a);
    }
    return o;
}

int runScenario(const fs::path& folder, std::vector<std::string> actions, std::vector<std::string> sequences,
                const Options& o)
{
    const casim::Scenario scenario = casim::loadScenario(folder);
    const casim::Package package = casim::loadPackage(o.package);
    if (!actions.empty() && !sequences.empty()) throw UsageError("name actions or sequences, not both");
    if (actions.empty() && sequences.empty()) {
        actions = scenario.actions;
        sequences = scenario.sequences;
    }
    if (actions.empty() && sequences.empty())
        throw casim::ScenarioError(folder.string(), 0, "nothing to run (name actions, or add a \"run\" line)");
    for (const auto& action : actions)
        if (!casim::isKnownAction(action))
            throw UsageError("unknown action \"" + action + "\"; the actions are: " + casim::knownActionList());
    // "ui+install" runs both lists in one session, as msiexec with a full UI does.
    std::vector<std::vector<casim::SequencedAction>> sessions;
    for (const auto& sequence : sequences) {
        sessions.emplace_back();
        std::stringstream parts(sequence);
        std::string part;
        while (std::getline(parts, part, '+')) {
            auto it = package.sequences.find(part);
            if (it == package.sequences.end()) {
                std::string names;
                for (const auto& [name, steps] : package.sequences) names += (names.empty() ? "" : ", ") + name;
                throw UsageError("unknown sequence \"" + part + "\"; the sequences are: " + names);
            }
            sessions.back().insert(sessions.back().end(), it->second.begin(), it->second.end());
        }
    }

    casim::SimulatedRun run(scenario, package);
    std::vector<casim::ActionReport> reports;
    for (const auto& action : actions) reports.push_back(run.run(action));
    for (std::size_t i = 0; i < sequences.size(); ++i) {
        auto part = run.runSequence(sequences[i], sessions[i]);
        reports.insert(reports.end(), part.begin(), part.end());
    }
    if (o.json)
        casim::printJson(std::cout, reports);
    else
        casim::printText(std::cout, reports, isatty(STDOUT_FILENO) != 0);

    int status = 0;
    for (const auto& r : reports)
        if (r.leakedHandles) status = 1;
    const auto& properties = run.machine().properties();
    for (const auto& [name, expected] : scenario.expectations) {
        auto it = properties.find(name);
        const std::string actual = it == properties.end() ? "" : it->second;
        if (actual != expected) {
            std::cerr << "ca-sim: expected " << name << "=\"" << expected << "\", found \"" << actual << "\"\n";
            status = 1;
        }
    }
    if (!o.save.empty()) run.save(o.save);
    return status;
}

int demo(const Options& o)
{
    std::random_device rd;
    const fs::path folder =
        o.keep.empty() ? fs::temp_directory_path() / ("ca-sim-demo-" + std::to_string(rd())) : fs::path(o.keep);
    fs::create_directories(folder);
    struct Cleanup {
        fs::path path;
        ~Cleanup()
        {
            std::error_code ec;
            if (!path.empty()) fs::remove_all(path, ec);
        }
    } cleanup{o.keep.empty() ? folder : fs::path()};
    casim::writeDemoScenario(folder / "before");
    if (!o.json)
        std::cout << "The demo machine: Wildfire 4.0 twice (C:\\PTC\\wf4-m040, C:\\PTC\\wf4-m070), Wildfire 5.0\n"
                     "(C:\\PTC\\wf5), Creo Parametric 1.0 (C:\\PTC\\creo1) and 2.0 (C:\\PTC\\creo2), each with another\n"
                     "vendor's add-in in text\\protk.dat, and the add-in's files staged in C:\\ProgramData.\n"
                     "The package's install sequence runs, then its removal sequence.\n\n";
    const casim::Scenario scenario = casim::loadScenario(folder / "before");
    const casim::Package package = casim::loadPackage(o.package);
    casim::SimulatedRun run(scenario, package);
    const casim::MachineState start = run.state();
    auto reports = run.runSequence("install", package.sequences.at("install"));
    const casim::MachineState installed = run.state();
    auto removal = run.runSequence("remove", package.sequences.at("remove"));
    reports.insert(reports.end(), removal.begin(), removal.end());
    const bool colour = isatty(STDOUT_FILENO) != 0;
    if (o.json) {
        casim::printJson(std::cout, reports);
    } else {
        casim::printText(std::cout, reports, colour);
        std::cout << "\n";
        casim::printSummary(std::cout, start, installed, run.state(), colour);
    }
    if (!o.keep.empty()) {
        run.save(folder / "after");
        if (!o.json)
            std::cout << "\nThe machine before the run is in " << (folder / "before").string() << ", after it in "
                      << (folder / "after").string() << ".\n";
    }
    int status = 0;
    for (const auto& r : reports)
        if (r.leakedHandles) status = 1;
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        (args.empty() ? std::cerr : std::cout) << kUsage;
        return args.empty() ? 2 : 0;
    }
    try {
        const Options o = parseOptions(args);
        const std::string& command = args[0];
        if (command == "actions" && o.positional.empty()) {
            std::cout << casim::knownActionList() << "\n";
            return 0;
        }
        if (command == "sequences" && o.positional.empty()) {
            for (const auto& [name, steps] : casim::loadPackage(o.package).sequences) {
                std::cout << name << "\n";
                for (const auto& step : steps)
                    std::cout << "  " << step.action
                              << (step.action == "set" ? " " + step.property + "=" + step.value : std::string())
                              << (step.condition.empty() ? "" : "  if " + step.condition) << "\n";
            }
            return 0;
        }
        if (command == "demo" && o.positional.empty()) return demo(o);
        if (command == "run" && !o.positional.empty()) {
            const std::vector<std::string> actions(o.positional.begin() + 1, o.positional.end());
            return runScenario(o.positional[0], actions, o.sequences, o);
        }
        throw UsageError("unknown command; see ca-sim --help");
    } catch (const UsageError& e) {
        std::cerr << "ca-sim: " << e.what() << "\n";
        return 2;
    } catch (const casim::ScenarioError& e) {
        std::cerr << "ca-sim: " << e.what() << "\n";
        return 2;
    } catch (const sim::RegParseError& e) {
        std::cerr << "ca-sim: " << e.what() << "\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "ca-sim: " << e.what() << "\n";
        return 2;
    }
}

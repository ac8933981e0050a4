// ca-sim: runs the library's custom actions on a simulated Windows machine
// and shows what each one did to it.
#include "demo.h"
#include "package.h"
#include "report.h"
#include "runner.h"
#include "scenario.h"
#include "text.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

constexpr int kBadInput = 2;
constexpr int kSaveFailed = 3;

const char* kExitStatus =
    "Exit status: 0 done; 1 an expectation failed or an action left a handle open;\n"
    "2 bad input (nothing ran); 3 the run's result could not be saved.";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string command;
    std::string folder;
    std::vector<std::string> actions;
    std::vector<std::string> sequences;
    std::vector<std::string> conditions;
    std::string conditionFile;
    bool json = false;
    std::string save;
    std::string keep;
    bool force = false;
    std::string color = "auto";
    std::string package = CA_SIM_PACKAGE_DIR;
};

// --color=auto: colour only on a terminal, and not when NO_COLOR is set
// (https://no-color.org) or TERM is "dumb"; always and never override both.
bool useColour(const std::string& choice)
{
    if (choice != "auto") return choice == "always";
    const char* noColor = std::getenv("NO_COLOR");
    const char* term = std::getenv("TERM");
    if (noColor != nullptr && *noColor != '\0') return false;
    if (term != nullptr && std::string(term) == "dumb") return false;
    return isatty(STDOUT_FILENO) != 0;
}

std::string join(const std::vector<std::string>& names)
{
    std::string text;
    for (const auto& n : names) text += (text.empty() ? "" : ", ") + n;
    return text;
}

std::vector<std::string> sequenceNames(const casim::Package& package)
{
    std::vector<std::string> names;
    for (const auto& [name, steps] : package.sequences) names.push_back(name);
    return names;
}

// A name from the command line (line 0) or from a line of scenario.txt.
[[noreturn]] void badName(const casim::Scenario& scenario, const casim::Named& n, const std::string& why)
{
    if (n.line > 0) throw casim::ScenarioError(scenario.file, n.line, why);
    throw UsageError(why);
}

std::vector<casim::ExpectationResult> checkExpectations(const casim::Scenario& scenario,
                                                        const std::map<std::string, std::string>& properties)
{
    std::vector<casim::ExpectationResult> results;
    for (const auto& e : scenario.expectations) {
        auto it = properties.find(e.name);
        results.push_back({scenario.file, e.line, e.name, e.value, it == properties.end() ? "" : it->second});
    }
    return results;
}

void report(const casim::Outcome& outcome, const Options& o, const std::vector<std::string>& problems)
{
    if (o.json) {
        casim::printJson(std::cout, outcome);
    } else {
        const bool colour = useColour(o.color);
        casim::printText(std::cout, outcome.steps, colour);
        if (outcome.summary) {
            std::cout << "\n";
            casim::printSummary(std::cout, *outcome.summary, colour);
        }
    }
    std::cout.flush();
    for (const auto& e : outcome.expectations)
        if (!e.passed())
            std::cerr << "ca-sim: " << e.file << ":" << e.line << ": expected " << e.name << "=\""
                      << casim::utf8FromAnsi(e.expected) << "\", found \"" << casim::utf8FromAnsi(e.actual) << "\"\n";
    for (const auto& p : problems) std::cerr << "ca-sim: " << p << "\n";
}

int runScenario(const Options& o)
{
    const casim::Scenario scenario = casim::loadScenario(o.folder);
    const casim::Package package = casim::loadPackage(o.package);
    if (!o.actions.empty() && !o.sequences.empty()) throw UsageError("name actions or sequences, not both");
    std::vector<casim::Named> actions, sequences;
    for (const auto& a : o.actions) actions.push_back({a, 0});
    for (const auto& s : o.sequences) sequences.push_back({s, 0});
    if (actions.empty() && sequences.empty()) {
        actions = scenario.actions;
        sequences = scenario.sequences;
    }
    if (actions.empty() && sequences.empty())
        throw casim::ScenarioError(scenario.file, 0, "nothing to run (name actions, or add a \"run\" line)");
    for (const auto& action : actions)
        if (!casim::isKnownAction(action.name))
            badName(scenario, action,
                    "unknown action \"" + action.name + "\"; the actions are: " + join(casim::knownActions()));
    // "ui+install" runs both lists in one session, as msiexec with a full UI does.
    std::vector<std::vector<casim::SequencedAction>> sessions;
    for (const auto& sequence : sequences) {
        sessions.emplace_back();
        std::stringstream parts(sequence.name);
        std::string part;
        while (std::getline(parts, part, '+')) {
            auto it = package.sequences.find(part);
            if (it == package.sequences.end())
                badName(scenario, sequence,
                        "unknown sequence \"" + part + "\"; the sequences are: " + join(sequenceNames(package)));
            sessions.back().insert(sessions.back().end(), it->second.begin(), it->second.end());
        }
    }
    casim::SimulatedRun run(scenario, package);  // refuses a bad machine.reg
    if (!o.save.empty()) casim::prepareOutputFolder(o.save, o.force, "--save");
    casim::Outcome outcome;
    outcome.command = "run";
    outcome.scenario = o.folder;
    for (const auto& action : actions) outcome.steps.push_back(run.run(action.name));
    for (std::size_t i = 0; i < sequences.size(); ++i) {
        auto part = run.runSequence(sequences[i].name, sessions[i]);
        outcome.steps.insert(outcome.steps.end(), part.begin(), part.end());
    }
    outcome.properties = run.machine().properties();
    outcome.expectations = checkExpectations(scenario, outcome.properties);
    for (const auto& r : outcome.steps)
        if (r.leakedHandles) outcome.status = 1;
    for (const auto& e : outcome.expectations)
        if (!e.passed()) outcome.status = 1;

    std::vector<std::string> problems;
    if (!o.save.empty()) {
        std::string steps = actions.empty() ? "sequence" : "run";
        for (const auto& n : actions.empty() ? sequences : actions) steps += " " + n.name;
        try {
            run.save(o.save, {steps});
        } catch (const std::exception& e) {
            problems.push_back("--save " + o.save + ": " + e.what());
            outcome.status = kSaveFailed;
        }
    }
    report(outcome, o, problems);
    return outcome.status;
}

int runDemo(const Options& o)
{
    if (!o.keep.empty()) casim::prepareOutputFolder(o.keep, o.force, "--keep");
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
    casim::Outcome outcome;
    outcome.command = "demo";
    outcome.steps = run.runSequence("install", package.sequences.at("install"));
    const casim::MachineState installed = run.state();
    auto removal = run.runSequence("remove", package.sequences.at("remove"));
    outcome.steps.insert(outcome.steps.end(), removal.begin(), removal.end());
    outcome.properties = run.machine().properties();
    outcome.summary = casim::summarize(start, installed, run.state());
    for (const auto& r : outcome.steps)
        if (r.leakedHandles) outcome.status = 1;
    std::vector<std::string> problems;
    if (!o.keep.empty()) {
        try {
            run.save(folder / "after", {"sequence install remove"});
        } catch (const std::exception& e) {
            problems.push_back("--keep " + o.keep + ": " + e.what());
            outcome.status = kSaveFailed;
        }
    }
    report(outcome, o, problems);
    if (!o.keep.empty() && !o.json && problems.empty())
        std::cout << "\nThe machine before the run is in " << (folder / "before").string() << ", after it in "
                  << (folder / "after").string() << ".\n";
    return outcome.status;
}

// One verdict a line: VERDICT<TAB>CONDITION<TAB>the values it read, or why it is an error.
int evaluateConditions(const Options& o)
{
    std::vector<std::string> conditions = o.conditions;
    if (!o.conditionFile.empty()) {
        std::ifstream in(o.conditionFile, std::ios::binary);
        if (!in) throw casim::ScenarioError(o.conditionFile, 0, "cannot be read");
        std::string text((std::istreambuf_iterator<char>(in)), {});
        if (!text.empty() && text.back() == '\n') text.pop_back();
        std::stringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            conditions.push_back(line);
        }
    }
    if (conditions.empty()) throw UsageError("name a condition, or --file with one a line");
    const casim::Scenario scenario = casim::loadScenario(o.folder);
    casim::SimulatedRun run(scenario, casim::loadPackage(o.package));
    for (const auto& condition : conditions) {
        const auto ansi = casim::ansiFromUtf8(condition);
        casim::Evaluation e;
        if (ansi)
            e = casim::evaluate(*ansi, run.conditionInputs());
        else
            e = {casim::Verdict::error, "not UTF-8 text that the machine's code page can hold", {}};
        std::cout << casim::verdictName(e.verdict) << "\t" << condition << "\t"
                  << (e.verdict == casim::Verdict::error ? e.error : casim::describeReferences(e.references)) << "\n";
    }
    return 0;
}

// The options each command takes, so that one given to another command is named as such.
const std::vector<std::pair<std::string, std::vector<std::string>>> kCommandOptions = {
    {"run", {"--sequence", "--json", "--save", "--force", "--package", "--color"}},
    {"demo", {"--json", "--keep", "--force", "--package", "--color"}},
    {"actions", {}},
    {"sequences", {"--package"}},
    {"condition", {"--file", "--package"}},
};

std::string misplaced(const std::string& command, const std::string& argument)
{
    if (argument.rfind("-", 0) != 0 || argument == "-")
        return "ca-sim " + command + ": unexpected argument \"" + argument + "\"; see ca-sim " + command + " --help";
    const std::string option = argument.substr(0, argument.find('='));
    std::vector<std::string> owners;
    for (const auto& [name, options] : kCommandOptions)
        if (std::find(options.begin(), options.end(), option) != options.end()) owners.push_back(name);
    if (owners.empty()) return "ca-sim " + command + ": unknown option " + option + "; see ca-sim " + command + " --help";
    return "ca-sim " + command + ": " + option + " does not apply to " + command + " (it is an option of " +
           join(owners) + "); see ca-sim " + command + " --help";
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    CLI::App app{"ca-sim runs the custom actions of CustomActions on a simulated Windows machine and shows what "
                 "each one changed.",
                 "ca-sim"};
    app.set_version_flag("--version", "ca-sim " CA_SIM_VERSION " (JSON report format 1)");
    app.footer(kExitStatus);
    app.allow_extras();

    const auto packageOption = [&](CLI::App* command) {
        command->add_option("--package", o.package, "the package folder whose sequences.txt and Control.idt to use")
            ->type_name("DIR")
            ->default_str("the sample package");
    };
    const auto outputOptions = [&](CLI::App* command) {
        command->add_flag("--json", o.json, "the report as JSON (format 1, tools/ca-sim/report.schema.json)");
        command->add_option("--color", o.color, "colour: auto (a terminal, unless NO_COLOR is set or TERM=dumb), always or never")
            ->type_name("WHEN")
            ->check(CLI::IsMember({"auto", "always", "never"}))
            ->default_str("auto");
        packageOption(command);
    };

    CLI::App* run = app.add_subcommand("run", "runs actions or sequences on a scenario's machine and reports what each changed");
    run->add_option("SCENARIO_DIR", o.folder, "the scenario folder (machine.reg, drive_c/, scenario.txt)")
        ->type_name("")
        ->required();
    run->add_option("ACTION", o.actions, "actions to run in one session (default: the scenario's run or sequence lines)")
        ->type_name("");
    run->add_option("--sequence", o.sequences,
                    "a sequence of the package to run in a new session (repeatable); NAME+NAME runs both in one "
                    "session, as msiexec with its dialog does")
        ->type_name("NAME")
        ->type_size(1)
        ->allow_extra_args(false);
    run->add_option("--save", o.save, "writes the machine after the run as a scenario folder that runs as it is")
        ->type_name("DIR");
    run->add_flag("--force", o.force, "lets --save write into a folder that is not empty");
    outputOptions(run);
    run->footer(kExitStatus);

    CLI::App* demo = app.add_subcommand("demo", "installs and removes the add-in on the built-in demo machine");
    demo->add_option("--keep", o.keep, "keeps the machine before (DIR/before) and after (DIR/after) the run")
        ->type_name("DIR");
    demo->add_flag("--force", o.force, "lets --keep write into a folder that is not empty");
    outputOptions(demo);

    app.add_subcommand("actions", "lists the actions the library exports, one a line");
    CLI::App* sequences = app.add_subcommand("sequences", "lists the package's sequences with their steps and conditions");
    packageOption(sequences);

    CLI::App* condition = app.add_subcommand(
        "condition", "evaluates installer conditions in a scenario's first session, as MsiEvaluateCondition does");
    condition->add_option("SCENARIO_DIR", o.folder, "the scenario folder whose properties, environment and states to use")
        ->type_name("")
        ->required();
    condition->add_option("CONDITION", o.conditions, "conditions to evaluate")->type_name("");
    condition->add_option("--file", o.conditionFile, "a file of conditions, one a line")->type_name("FILE");
    packageOption(condition);
    for (CLI::App* command : app.get_subcommands({})) command->allow_extras();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::RequiredError& e) {
        const auto chosen = app.get_subcommands();
        const std::string command = chosen.empty() ? std::string() : chosen.front()->get_name();
        std::cerr << "ca-sim " << command << ": a scenario folder is required: ca-sim " << command
                  << " SCENARIO_DIR ...; see ca-sim " << command << " --help\n";
        return kBadInput;
    } catch (const CLI::ParseError& e) {
        const auto chosen = app.get_subcommands();
        const std::string command = chosen.empty() ? std::string() : " " + chosen.front()->get_name();
        std::cerr << "ca-sim" << command << ": " << e.what() << "; see ca-sim" << command << " --help\n";
        return kBadInput;
    }
    const auto chosen = app.get_subcommands();
    if (chosen.empty()) {
        if (!app.remaining().empty())
            std::cerr << "ca-sim: unknown command \"" << app.remaining().front()
                      << "\"; the commands are run, demo, actions, sequences and condition\n";
        else
            std::cerr << app.help();
        return kBadInput;
    }
    const std::string command = chosen.front()->get_name();
    if (!chosen.front()->remaining().empty()) {
        std::cerr << misplaced(command, chosen.front()->remaining().front()) << "\n";
        return kBadInput;
    }
    try {
        if (command == "actions") {
            for (const auto& name : casim::knownActions()) std::cout << name << "\n";
            return 0;
        }
        if (command == "sequences") {
            for (const auto& [name, steps] : casim::loadPackage(o.package).sequences) {
                std::cout << name << "\n";
                for (const auto& step : steps)
                    std::cout << "  " << step.action
                              << (step.action == "set" ? " " + step.property + "=" + casim::utf8FromAnsi(step.value)
                                                       : std::string())
                              << (step.condition.empty() ? "" : "  if " + casim::utf8FromAnsi(step.condition)) << "\n";
            }
            return 0;
        }
        if (command == "demo") return runDemo(o);
        if (command == "condition") return evaluateConditions(o);
        return runScenario(o);
    } catch (const UsageError& e) {
        std::cerr << "ca-sim " << command << ": " << e.what() << "\n";
        return kBadInput;
    } catch (const std::exception& e) {
        // ScenarioError and RegParseError name the file and line.
        std::cerr << "ca-sim: " << e.what() << "\n";
        return kBadInput;
    }
}

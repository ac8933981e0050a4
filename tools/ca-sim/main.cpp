// ca-sim: runs the library's custom actions on a simulated Windows machine
// and shows what each one did to it; and the one reader of the formats that
// describe a machine and a package, for the scripts around it.
#include "demo.h"
#include "fleet.h"
#include "listings.h"
#include "package.h"
#include "preflight.h"
#include "registry_files.h"
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
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

constexpr int kBadInput = 2;
constexpr int kSaveFailed = 3;
constexpr int kInstallationFailed = 4;

const char* kExitStatus =
    "Exit status: 0 done; 1 an expectation failed or an action left a handle open;\n"
    "2 bad input (nothing ran); 3 the run's result could not be saved; 4 an error step\n"
    "of the package stopped a sequence (msiexec would end with 1603).";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string folder;
    std::vector<std::string> folders;  // preflight's snapshots
    int jobs = 0;                      // preflight's workers; 0: one per processor
    int count = 100;                   // fleet's machines
    std::uint32_t seed = 1;            // fleet's
    std::vector<std::string> actions;
    std::vector<std::string> sequences;
    std::vector<std::string> properties;  // NAME=VALUE, as msiexec's command line gives them
    std::vector<std::string> conditions;
    std::string file;
    std::vector<std::string> under;
    bool json = false;
    bool forWine = false;
    unsigned codePage = sim::CodePage::kWestern;
    bool payload = false;
    std::string scriptFrom;        // run: another scenario's sequences, holds and restarts
    std::size_t fromSequence = 1;  // the first of them to run
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

std::string join(const std::vector<std::string>& names, const char* separator = ", ")
{
    std::string text;
    for (const auto& n : names) text += (text.empty() ? "" : separator) + n;
    return text;
}

// A name from the command line (line 0) or from a line of scenario.txt.
[[noreturn]] void badName(const casim::Scenario& scenario, const casim::Named& n, const std::string& why)
{
    if (n.line > 0) throw casim::ScenarioError(scenario.file, n.line, why);
    throw UsageError(why);
}

// "--property NAME=VALUE" reads as a scenario's property line does, on a
// machine with that code page.
casim::Setting commandLineProperty(const std::string& text, int codePage = sim::CodePage::kWestern)
{
    try {
        const std::string line = "codepage " + std::to_string(codePage) + "\nproperty " + text;
        casim::Setting s = casim::parseScenarioText(line, "--property").properties.at(0);
        s.line = 0;
        return s;
    } catch (const casim::ScenarioError& e) {
        throw UsageError("--property " + text + ": " + e.reason);
    }
}

// What a run does: the actions (one session) or the sequences ("ui+install"
// runs both lists in one session, as msiexec with a full UI does).
struct Plan {
    casim::Scenario ran;  // the scenario as --save writes it: what ran, no expectations
    std::vector<std::vector<casim::SequencedAction>> sessions;
};

std::vector<casim::SequencedAction> sessionSteps(const casim::Package& package, const casim::Scenario& scenario,
                                                 const casim::Named& sequence)
{
    std::vector<casim::SequencedAction> steps;
    std::stringstream parts(sequence.name);
    for (std::string part; std::getline(parts, part, '+');) {
        const auto it = package.sequences.find(part);
        if (it == package.sequences.end()) {
            std::vector<std::string> known;
            for (const auto& [name, list] : package.sequences) known.push_back(name);
            badName(scenario, sequence, "unknown sequence \"" + part + "\"; the sequences are: " + join(known));
        }
        steps.insert(steps.end(), it->second.begin(), it->second.end());
    }
    return steps;
}

Plan plan(const casim::Scenario& scenario, const casim::Package& package, const Options& o)
{
    if (!o.actions.empty() && !o.sequences.empty()) throw UsageError("name actions or sequences, not both");
    Plan p{scenario, {}};
    p.ran.expectations.clear();
    if (!o.actions.empty() || !o.sequences.empty()) {
        p.ran.actions.clear();
        p.ran.sequences.clear();
        p.ran.restarts.clear();
        p.ran.changes.clear();
        for (const auto& a : o.actions) p.ran.actions.push_back({a, 0});
        for (const auto& s : o.sequences) p.ran.sequences.push_back({s, 0});
    }
    if (p.ran.actions.empty() && p.ran.sequences.empty())
        throw casim::ScenarioError(scenario.file, 0, "nothing to run (name actions, or add a \"run\" line)");
    for (const auto& action : p.ran.actions)
        if (!casim::isKnownAction(action.name))
            badName(scenario, action,
                    "unknown action \"" + action.name + "\"; the actions are: " + join(casim::knownActions()));
    for (const auto& sequence : p.ran.sequences) p.sessions.push_back(sessionSteps(package, scenario, sequence));
    return p;
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

// Everything after a run: its status, the machine saved (`option` names the
// folder in messages; none when `folder` is empty), and the report.
int finish(casim::Outcome& outcome, const Options& o, const casim::SimulatedRun& run, const std::string& option,
           const fs::path& folder, const casim::Scenario& ran)
{
    for (const auto& r : outcome.steps)
        if (r.leakedHandles) outcome.status = 1;
    for (const auto& e : outcome.expectations)
        if (!e.passed()) outcome.status = 1;
    for (const auto& r : outcome.steps)
        if (r.action == "error" && !r.skipped && outcome.status == 0) outcome.status = kInstallationFailed;
    std::vector<std::string> problems;
    if (!folder.empty()) {
        try {
            run.save(folder, ran);
        } catch (const std::exception& e) {
            problems.push_back(option + ": " + e.what());
            outcome.status = kSaveFailed;
        }
    }
    report(outcome, o, problems);
    return outcome.status;
}

void append(std::vector<casim::ActionReport>& to, std::vector<casim::ActionReport> more)
{
    to.insert(to.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

// The sequences of FROM from its `first`th on, with its restarts and changes
// (their folders FROM's), in place of the scenario's own: a machine collected part way through a scenario goes on
// as that scenario went on. From the first sequence FROM's holds stand where
// FROM has them; later, the machine's own holds (what the collector found
// held) last until the first restart, as the running host held them.
void takeScript(casim::Scenario& scenario, const casim::Scenario& from, std::size_t first)
{
    if (first < 1 || first > from.sequences.size())
        throw UsageError("--from-sequence " + std::to_string(first) + ": " + from.file + " has " +
                         std::to_string(from.sequences.size()) + " sequence lines");
    const std::size_t skipped = first - 1;
    scenario.actions.clear();
    scenario.sequences.assign(from.sequences.begin() + static_cast<std::ptrdiff_t>(skipped), from.sequences.end());
    scenario.restarts.clear();
    for (casim::Restart r : from.restarts)
        if (r.afterSequences > skipped) {
            r.afterSequences -= skipped;
            scenario.restarts.push_back(r);
        }
    scenario.changes.clear();
    for (casim::Change c : from.changes)
        if (c.afterSequences > skipped) {
            c.afterSequences -= skipped;
            c.root = from.folder;
            scenario.changes.push_back(c);
        }
    if (skipped == 0 && !from.holds.empty()) {
        scenario.holds = from.holds;
        return;
    }
    for (casim::Hold& hold : scenario.holds) {
        hold.afterSequences = 0;
        hold.untilSequences.reset();
        if (!scenario.restarts.empty()) hold.untilSequences = scenario.restarts.front().afterSequences;
    }
}

int runScenario(const Options& o)
{
    casim::Scenario scenario = casim::loadScenario(o.folder);
    if (!o.scriptFrom.empty()) {
        if (!o.actions.empty() || !o.sequences.empty()) throw UsageError("--script-from takes no actions or sequences");
        takeScript(scenario, casim::loadScenario(o.scriptFrom), o.fromSequence);
    }
    const auto codePage = static_cast<int>(casim::machineCodePage(scenario).number());
    for (const auto& p : o.properties) scenario.properties.push_back(commandLineProperty(p, codePage));
    const casim::Package package = casim::loadPackage(o.package);
    // Sequences named on the command line replace the scenario's: a hold then holds from the first.
    if (!o.actions.empty() || !o.sequences.empty())
        for (auto& hold : scenario.holds) {
            hold.afterSequences = 0;
            hold.untilSequences.reset();
        }
    const Plan p = plan(scenario, package, o);
    casim::SimulatedRun run(scenario, package);  // refuses a bad machine.reg
    if (!o.save.empty()) casim::prepareOutputFolder(o.save, o.force, "--save");
    if (o.payload) run.stagePayload();
    casim::Outcome outcome;
    outcome.command = "run";
    outcome.scenario = o.folder;
    if (!p.ran.actions.empty()) {
        append(outcome.steps, run.runActions(p.ran.actions));
        outcome.sessions.push_back(run.sessionResult("run"));
    }
    for (std::size_t i = 0; i < p.ran.sequences.size(); ++i) {
        append(outcome.steps, run.runSequence(p.ran.sequences[i].name, p.sessions[i], i));
        outcome.sessions.push_back(run.sessionResult(p.ran.sequences[i].name));
        for (const casim::Between& step : casim::betweenSequences(p.ran, i + 1))
            outcome.steps.push_back(step.kind == casim::Between::Kind::restart ? run.restart()
                                                                              : run.change(p.ran.changes[step.index]));
    }
    outcome.properties = run.machine().properties();
    outcome.expectations = checkExpectations(scenario, outcome.properties);
    return finish(outcome, o, run, "--save " + o.save, o.save, p.ran);
}

// Every snapshot through the silent installation and the removal; the
// command line's properties reach each as msiexec's would.
int runPreflight(const Options& o)
{
    // The values stay UTF-8 here: each machine reads them in its own code page.
    std::vector<casim::Setting> properties;
    for (const auto& p : o.properties) {
        const auto eq = p.find('=');
        casim::Setting s = commandLineProperty(p.substr(0, eq == std::string::npos ? p.size() : eq + 1));
        s.value = p.substr(eq + 1);
        if (!sim::isUtf8(s.value)) throw UsageError("--property " + p + ": the value is not UTF-8 text");
        properties.push_back(s);
    }
    const casim::Package package = casim::loadPackage(o.package);
    const int jobs = o.jobs > 0 ? o.jobs : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const auto machines = casim::checkFleet(o.folders, package, properties, jobs);
    const bool fit = std::all_of(machines.begin(), machines.end(), [](const casim::MachineCheck& m) {
        return m.readiness() == casim::Readiness::ready || m.readiness() == casim::Readiness::restart;
    });
    if (o.json)
        casim::printFleetJson(std::cout, machines, fit ? 0 : 1);
    else
        casim::printFleet(std::cout, machines, useColour(o.color));
    return fit ? 0 : 1;
}

// The demo's folder: a temporary one, or --keep's, which outlives the run.
struct DemoFolder {
    fs::path path;
    bool temporary;
    explicit DemoFolder(const std::string& keep) : path(keep), temporary(keep.empty())
    {
        if (temporary) path = fs::temp_directory_path() / ("ca-sim-demo-" + std::to_string(std::random_device{}()));
        fs::create_directories(path);
    }
    ~DemoFolder()
    {
        std::error_code ec;
        if (temporary) fs::remove_all(path, ec);
    }
};

int runDemo(const Options& o)
{
    if (!o.keep.empty()) casim::prepareOutputFolder(o.keep, o.force, "--keep");
    const DemoFolder folder(o.keep);
    casim::writeDemoScenario(folder.path / "before");
    if (!o.json)
        std::cout << "The demo machine: " << casim::demoDescription()
                  << "\nThe package's install sequence runs, then its removal sequence.\n\n";
    const casim::Scenario scenario = casim::loadScenario(folder.path / "before");
    const casim::Package package = casim::loadPackage(o.package);
    casim::SimulatedRun run(scenario, package);
    const casim::MachineState start = run.state();
    casim::Outcome outcome;
    outcome.command = "demo";
    outcome.steps = run.runSequence("install", package.sequences.at("install"), 0);
    outcome.sessions.push_back(run.sessionResult("install"));
    const casim::MachineState installed = run.state();
    append(outcome.steps, run.runSequence("remove", package.sequences.at("remove"), 1));
    outcome.sessions.push_back(run.sessionResult("remove"));
    outcome.properties = run.machine().properties();
    outcome.summary = casim::summarize(start, installed, run.state());
    const fs::path after = folder.temporary ? fs::path() : folder.path / "after";
    const int status = finish(outcome, o, run, "--keep " + o.keep, after, scenario);
    if (!after.empty() && !o.json && status != kSaveFailed)
        std::cout << "\nThe machine before the run is in " << (folder.path / "before").string() << ", after it in "
                  << after.string() << ".\n";
    return status;
}

// One verdict a line: VERDICT<TAB>CONDITION<TAB>the values it read, or why it is an error.
int evaluateConditions(const Options& o)
{
    std::vector<std::string> conditions = o.conditions;
    if (!o.file.empty()) {
        std::ifstream in(o.file, std::ios::binary);
        if (!in) throw casim::ScenarioError(o.file, 0, "cannot be read");
        std::string text((std::istreambuf_iterator<char>(in)), {});
        if (!text.empty() && text.back() == '\n') text.pop_back();
        casim::forEachLine(text, [&](const std::string& line, int) { conditions.push_back(line); });
    }
    if (conditions.empty()) throw UsageError("name a condition, or --file with one a line");
    casim::SimulatedRun run(casim::loadScenario(o.folder), casim::loadPackage(o.package));
    for (const auto& condition : conditions) {
        const auto ansi = casim::ansiFromUtf8(condition);
        const casim::Evaluation e = ansi ? casim::evaluate(*ansi, run.conditionInputs())
                                         : casim::Evaluation{casim::Verdict::error, "not UTF-8 text that the machine's code page can hold", {}};
        std::cout << casim::verdictName(e.verdict) << "\t" << condition << "\t"
                  << (e.verdict == casim::Verdict::error ? e.error : casim::describeReferences(e.references)) << "\n";
    }
    return 0;
}

int listRegistry(const Options& o)
{
    if (o.forWine) {
        std::cout << casim::forWineRegedit(o.file);
        return 0;
    }
    const auto codePage = sim::CodePage::of(o.codePage);
    if (!codePage) throw UsageError("--codepage takes 1252 or 932");
    casim::useCodePage(*codePage);
    sim::Registry registry;
    casim::readRegistryFile(o.file, registry);
    casim::printRegistry(std::cout, registry, o.under, o.file, o.json);
    return 0;
}

// --- the command line ---------------------------------------------------------

// Each command's callback runs it; exceptions reach main.
class CommandLine {
public:
    CommandLine();
    int run(int argc, char** argv);

private:
    using Command = int (*)(const Options&);
    CLI::App* command(const char* name, const char* description, Command body);
    void scenarioFolder(CLI::App* c, const char* what);
    void packageOption(CLI::App* c);
    void outputOptions(CLI::App* c);
    void addRun();
    void addFleet();
    void addListings();
    int parseFailure(const CLI::ParseError& e);
    std::string chosenName() const;

    Options o_;
    CLI::App app_{"ca-sim runs the custom actions of CustomActions on a simulated Windows machine and shows what each "
                  "one changed.",
                  "ca-sim"};
    int status_ = 0;
};

CLI::App* CommandLine::command(const char* name, const char* description, Command body)
{
    CLI::App* c = app_.add_subcommand(name, description);
    c->callback([this, body] { status_ = body(o_); });
    return c;
}

void CommandLine::scenarioFolder(CLI::App* c, const char* what)
{
    c->add_option("SCENARIO_DIR", o_.folder, what)->type_name("")->required();
}

void CommandLine::packageOption(CLI::App* c)
{
    c->add_option("--package", o_.package, "the package folder whose sequences.txt and Control.idt to use")
        ->type_name("DIR")
        ->default_str("the sample package");
}

void CommandLine::outputOptions(CLI::App* c)
{
    c->add_flag("--json", o_.json, "the report as JSON (format 1, tools/ca-sim/report.schema.json)");
    c->add_option("--color", o_.color, "colour: auto (a terminal, unless NO_COLOR is set or TERM=dumb), always or never")
        ->type_name("WHEN")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->default_str("auto");
    packageOption(c);
    c->footer(kExitStatus);
}

void CommandLine::addRun()
{
    CLI::App* run = command("run", "runs actions or sequences on a scenario's machine and reports what each changed", runScenario);
    scenarioFolder(run, "the scenario folder (machine.reg, drive_c/, scenario.txt)");
    run->add_option("ACTION", o_.actions, "actions to run in one session (default: the scenario's run or sequence lines)")
        ->type_name("");
    run->add_option("--sequence", o_.sequences,
                    "a sequence of the package to run in a new session (repeatable); NAME+NAME runs both in one "
                    "session, as msiexec with its dialog does")
        ->type_name("NAME")
        ->type_size(1)
        ->allow_extra_args(false);
    run->add_option("--property", o_.properties, "a starting property after the scenario's, as on msiexec's command line (repeatable)")
        ->type_name("NAME=VALUE")
        ->type_size(1)
        ->allow_extra_args(false);
    run->add_option("--script-from", o_.scriptFrom,
                    "runs that scenario's sequences, holds, restarts and changes on this machine, in place of its own")
        ->type_name("DIR");
    run->add_option("--from-sequence", o_.fromSequence, "with --script-from: its sequence line to start at")
        ->type_name("N")
        ->default_str("1");
    run->add_flag("--payload", o_.payload,
                  "first places the package's files (ca-sim manifest, as stand-ins) that the all-users folder lacks");
    run->add_option("--save", o_.save, "writes the machine after the run as a scenario folder that runs as it is")
        ->type_name("DIR");
    run->add_flag("--force", o_.force, "lets --save write into a folder that is not empty");
    outputOptions(run);

    CLI::App* demo = command("demo", "installs and removes the add-in on the built-in demo machine", runDemo);
    demo->add_option("--keep", o_.keep, "keeps the machine before (DIR/before) and after (DIR/after) the run")
        ->type_name("DIR");
    demo->add_flag("--force", o_.force, "lets --keep write into a folder that is not empty");
    outputOptions(demo);

    CLI::App* condition = command("condition", "evaluates installer conditions in a scenario's first session, as "
                                               "MsiEvaluateCondition does", evaluateConditions);
    scenarioFolder(condition, "the scenario folder whose properties, environment and states to use");
    condition->add_option("CONDITION", o_.conditions, "conditions to evaluate")->type_name("");
    condition->add_option("--file", o_.file, "a file of conditions, one a line")->type_name("FILE");
    packageOption(condition);
}

void CommandLine::addFleet()
{
    CLI::App* preflight = command("preflight", "installs and removes the add-in silently on every snapshot, in "
                                               "parallel: one line per machine and a count by outcome", runPreflight);
    preflight->add_option("SNAPSHOT_DIR", o_.folders, "scenario folders, as collect.cmd writes them")
        ->type_name("")
        ->required();
    preflight->add_option("--property", o_.properties, "a property for every machine, as on msiexec's command line (repeatable)")
        ->type_name("NAME=VALUE")
        ->type_size(1)
        ->allow_extra_args(false);
    preflight->add_option("--jobs", o_.jobs, "machines checked at once")->type_name("N")->default_str("one per processor");
    outputOptions(preflight);
    preflight->footer("Exit status: 0 every machine takes the add-in (ready, or after a restart); 1 one would stop, be left\n"
                      "unrestored by the removal, or could not be read; 2 bad input (nothing ran).");

    CLI::App* fleet = command("fleet", "writes random machine snapshots, as the collector writes them, to try preflight on",
                              [](const Options& o) {
                                  casim::prepareOutputFolder(o.folder, o.force, "fleet");
                                  casim::writeFleet(o.folder, o.count, o.seed);
                                  std::cout << o.count << " snapshots in " << o.folder << " (seed " << o.seed << ")\n";
                                  return 0;
                              });
    fleet->add_option("DIR", o_.folder, "the folder for the snapshots (seat-0001, ...)")->type_name("")->required();
    fleet->add_option("--count", o_.count, "how many")->type_name("N")->check(CLI::Range(1, 100000))->default_str("100");
    fleet->add_option("--seed", o_.seed, "the same seed writes the same fleet")->type_name("N")->default_str("1");
    fleet->add_flag("--force", o_.force, "lets it write into a folder that is not empty");
}

void CommandLine::addListings()
{
    command("actions", "lists the actions the library exports, one a line", [](const Options&) {
        for (const auto& name : casim::knownActions()) std::cout << name << "\n";
        return 0;
    });
    CLI::App* sequences = command("sequences", "lists the package's sequences with their steps and conditions",
                                  [](const Options& o) {
                                      const fs::path file = o.file.empty() ? fs::path(o.package) / "sequences.txt" : fs::path(o.file);
                                      casim::printSequences(std::cout, casim::loadSequences(file), file.string(), o.json);
                                      return 0;
                                  });
    packageOption(sequences);
    sequences->add_option("--file", o_.file, "a sequences file instead of the package's")->type_name("FILE");
    sequences->add_flag("--json", o_.json, "every step as JSON, in the file's order");

    CLI::App* scenario = command("scenario", "shows what a scenario folder says, as ca-sim reads it", [](const Options& o) {
        const casim::Scenario loaded = casim::loadScenario(o.folder);
        casim::useCodePage(casim::machineCodePage(loaded));
        casim::printScenario(std::cout, loaded, o.json);
        return 0;
    });
    scenarioFolder(scenario, "the scenario folder");
    scenario->add_flag("--json", o_.json, "as JSON: every statement with its line");

    CLI::App* manifest = command("manifest", "lists what the package must stage for the actions, one path a line", [](const Options& o) {
        casim::printManifest(std::cout, o.json);
        return 0;
    });
    manifest->add_flag("--json", o_.json, "as JSON: each path, its kind (file or folder) and what it is for");

    CLI::App* registry = command("registry", "reads a regedit file or a Wine hive file as the simulator does", listRegistry);
    registry->add_option("FILE", o_.file, "a .reg file, or a Wine prefix's system.reg")->type_name("")->required();
    registry->add_option("--under", o_.under, "only the keys at or below KEY (repeatable)")->type_name("KEY");
    registry->add_flag("--json", o_.json, "as JSON: each key's values with their type and data bytes");
    registry->add_flag("--for-wine", o_.forWine, "the regedit file as Wine's regedit imports it (UTF-16)");
    registry->add_option("--codepage", o_.codePage, "the machine's code page that names and strings are read in")
        ->type_name("1252|932");
}

CommandLine::CommandLine()
{
    app_.set_version_flag("--version", "ca-sim " CA_SIM_VERSION " (JSON report format 1)");
    app_.footer(kExitStatus);
    addRun();
    addFleet();
    addListings();
}

std::string CommandLine::chosenName() const
{
    const auto chosen = app_.get_subcommands();
    return chosen.empty() ? std::string() : chosen.front()->get_name();
}

// An option given to a command that does not take it is named as some other command's.
int CommandLine::parseFailure(const CLI::ParseError& e)
{
    const std::string name = chosenName();
    const std::string command = "ca-sim" + (name.empty() ? "" : " " + name);
    const auto left = name.empty() ? app_.remaining() : app_.get_subcommand(name)->remaining();
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && !left.empty()) {
        const std::string& argument = left.front();
        std::vector<std::string> commands, owners;
        for (const CLI::App* c : app_.get_subcommands({})) {
            commands.push_back(c->get_name());
            if (c->get_option_no_throw(argument.substr(0, argument.find('='))) != nullptr) owners.push_back(c->get_name());
        }
        if (name.empty())
            std::cerr << "ca-sim: unknown command \"" << argument << "\"; the commands are " << join(commands) << "\n";
        else if (argument.rfind("-", 0) != 0 || argument == "-")
            std::cerr << command << ": unexpected argument \"" << argument << "\"; see " << command << " --help\n";
        else if (owners.empty())
            std::cerr << command << ": unknown option " << argument.substr(0, argument.find('=')) << "; see " << command << " --help\n";
        else
            std::cerr << command << ": " << argument.substr(0, argument.find('=')) << " does not apply to " << name
                      << " (it is an option of " << join(owners) << "); see " << command << " --help\n";
        return kBadInput;
    }
    std::cerr << command << ": " << e.what() << "; see " << command << " --help\n";
    return kBadInput;
}

int CommandLine::run(int argc, char** argv)
{
    try {
        app_.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app_.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app_.exit(e);
    } catch (const CLI::ParseError& e) {
        return parseFailure(e);
    } catch (const UsageError& e) {
        std::cerr << "ca-sim " << chosenName() << ": " << e.what() << "\n";
        return kBadInput;
    } catch (const std::exception& e) {
        // ScenarioError and RegParseError name the file and line.
        std::cerr << "ca-sim: " << e.what() << "\n";
        return kBadInput;
    }
    if (chosenName().empty()) {
        std::cerr << app_.help();
        return kBadInput;
    }
    return status_;
}

}  // namespace

int main(int argc, char** argv)
{
    return CommandLine().run(argc, argv);
}

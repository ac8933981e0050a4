// ca-sim: runs the library's custom actions on a simulated Windows machine
// and shows what each one did to it.
#include "runner.h"
#include "scenario.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* kUsage =
    "usage: ca-sim run SCENARIO_DIR [ACTION...] [--save DIR]\n"
    "       ca-sim demo\n"
    "       ca-sim actions\n"
    "\n"
    "run      runs ACTIONs (or the scenario's own \"run\" lines) in order on the scenario's machine\n"
    "         and prints, per action, its result and every change it made\n"
    "--save   writes the machine after the run as a scenario folder (machine.reg, drive_c/, properties.txt)\n"
    "demo     runs the demo scenario that ships with ca-sim\n"
    "actions  lists the actions the library exports\n";

struct Style {
    bool colour = false;
    std::string on(const char* code) const { return colour ? std::string("\033[") + code + "m" : ""; }
    std::string off() const { return colour ? "\033[0m" : ""; }
};

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '"')
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out + "\"";
}

void printReport(const casim::ActionReport& report, const Style& style)
{
    std::cout << style.on("1") << "== " << report.action << " -> " << report.result << style.off() << "\n";
    if (report.changes.empty()) std::cout << "   (no change)\n";
    for (const auto& c : report.changes) {
        using Kind = casim::Change::Kind;
        const bool content = c.what == "file";
        switch (c.kind) {
        case Kind::added:
            std::cout << style.on("32") << "   + " << c.what << " " << c.name;
            if (!content || !c.after.empty()) std::cout << " = " << (content ? std::to_string(c.after.size()) + " bytes" : quoted(c.after));
            break;
        case Kind::removed:
            std::cout << style.on("31") << "   - " << c.what << " " << c.name;
            if (!content && c.what != "folder") std::cout << " (was " << quoted(c.before) << ")";
            break;
        case Kind::changed:
            std::cout << style.on("33") << "   ~ " << c.what << " " << c.name;
            if (content)
                std::cout << " (" << c.before.size() << " -> " << c.after.size() << " bytes)";
            else
                std::cout << ": " << quoted(c.before) << " -> " << quoted(c.after);
            break;
        }
        std::cout << style.off() << "\n";
    }
    for (const auto& box : report.messageBoxes)
        std::cout << "   ! message box \"" << box.caption << "\": " << box.text << " (style " << box.style << ")\n";
    for (const auto& line : report.logMessages) std::cout << "   ! log: " << line << "\n";
    for (const auto& target : report.openedTargets) std::cout << "   ! shell opens " << quoted(target) << "\n";
    if (report.leakedHandles) std::cout << "   ! " << report.leakedHandles << " handle(s) left open\n";
}

int runScenario(const std::string& folder, std::vector<std::string> actions, const std::string& saveTo)
{
    const casim::Scenario scenario = casim::loadScenario(folder);
    if (actions.empty()) actions = scenario.actions;
    if (actions.empty()) {
        std::cerr << "ca-sim: " << folder << ": no action to run (name actions, or add a \"run\" line)\n";
        return 2;
    }
    for (const auto& action : actions)
        if (!casim::isKnownAction(action)) {
            std::cerr << "ca-sim: unknown action \"" << action << "\"; the actions are: " << casim::knownActionList()
                      << "\n";
            return 2;
        }
    casim::SimulatedRun run(scenario);
    Style style{isatty(STDOUT_FILENO) != 0};
    for (const auto& action : actions) printReport(run.run(action), style);
    if (!saveTo.empty()) run.save(saveTo);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "-h" || args[0] == "--help") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    try {
        if (args[0] == "actions") {
            std::cout << casim::knownActionList() << "\n";
            return 0;
        }
        if (args[0] == "demo") return runScenario(CA_SIM_DEMO_SCENARIO, {}, "");
        if (args[0] == "run" && args.size() >= 2) {
            std::vector<std::string> actions;
            std::string saveTo;
            for (std::size_t i = 2; i < args.size(); ++i) {
                if (args[i] == "--save") {
                    if (i + 1 >= args.size()) {
                        std::cerr << "ca-sim: --save needs a folder\n";
                        return 2;
                    }
                    saveTo = args[++i];
                } else {
                    actions.push_back(args[i]);
                }
            }
            return runScenario(args[1], actions, saveTo);
        }
        std::cerr << kUsage;
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

// A scenario: a simulated machine to run actions on, kept in a folder that
// both ca-sim and the end-to-end harness read.
//   machine.reg    the registry (regedit text)
//   drive_c/       files and folders of drive C:
//   scenario.txt   starting properties, environment, actions, expectations
#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace casim {

// Bad input: the file, the line (0 when the whole file is at fault) and why.
struct ScenarioError : std::runtime_error {
    ScenarioError(std::string file, int line, std::string reason);
    std::string file;
    int line;
    std::string reason;
};

using NameValue = std::pair<std::string, std::string>;

struct Scenario {
    std::filesystem::path folder;
    std::vector<NameValue> properties;    // "property NAME=VALUE"
    std::vector<NameValue> environment;   // "env NAME=VALUE"
    std::vector<std::string> actions;     // "run ACTION ..."
    std::vector<std::string> sequences;   // "sequence NAME ...": each in a new installer session
    std::vector<NameValue> expectations;  // "expect NAME=VALUE" ("" = not set)
};

// Calls visit(line, number) for each line of `text`, numbered from 1, without its line end.
void forEachLine(const std::string& text, const std::function<void(const std::string& line, int number)>& visit);

// Parses scenario.txt text; `fileName` names it in errors.
Scenario parseScenarioText(const std::string& text, const std::string& fileName);
// Reads a scenario folder; throws ScenarioError for anything missing or malformed.
Scenario loadScenario(const std::filesystem::path& folder);

}  // namespace casim

// A scenario: a simulated machine to run actions on, kept in a folder that
// both ca-sim and the end-to-end harness read.
//   machine.reg    the registry (regedit text)
//   drive_c/       files and folders of drive C:
//   scenario.txt   starting properties, environment, feature and component
//                  states, actions or sequences, expectations, the code page
#pragma once

#include "platform/sim/code_page.h"

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace casim {

// Bad input: the file, the line (0 when the whole file is at fault) and why.
struct ScenarioError : std::runtime_error {
    ScenarioError(std::string file, int line, std::string reason);
    std::string file;
    int line;
    std::string reason;
};

// "NAME=VALUE" of a line. scenario.txt is UTF-8; values hold what the
// machine receives (in its code page), as msiexec's command line reaches an
// ANSI custom action.
struct Setting {
    std::string name;
    std::string value;
    int line = 0;
};

// An action or sequence name of a "run" or "sequence" line.
struct Named {
    std::string name;
    int line = 0;
};

// "feature NAME=ACTION [installed=STATE]", "component ...": the states that
// &NAME and !NAME (features), $NAME and ?NAME (components) read. The
// installed state defaults to 2 (absent): a first installation.
struct InstallState {
    std::string name;
    int action = -1;
    int installed = 2;
    int line = 0;
};

struct Scenario {
    std::filesystem::path folder;
    std::string file;                      // scenario.txt as errors name it ("" when there is none)
    std::vector<Setting> properties;       // "property NAME=VALUE"
    std::vector<Setting> environment;      // "env NAME=VALUE"
    std::vector<InstallState> features;    // "feature NAME=ACTION [installed=STATE]"
    std::vector<InstallState> components;  // "component NAME=ACTION [installed=STATE]"
    std::vector<Named> actions;            // "run ACTION ..."
    std::vector<Named> sequences;          // "sequence NAME ...": each in a new installer session
    std::vector<Setting> expectations;     // "expect NAME=VALUE" ("" = not set)
    sim::CodePage codePage;                // "codepage NUMBER": the machine's ANSI code page, 1252 unless named
    int codePageLine = 0;                  // where it was named (0: nowhere)
};

// Calls visit(line, number) for each line of `text`, numbered from 1, without its line end.
void forEachLine(const std::string& text, const std::function<void(const std::string& line, int number)>& visit);

// Parses scenario.txt text; `fileName` names it in errors.
Scenario parseScenarioText(const std::string& text, const std::string& fileName);
// Reads a scenario folder; throws ScenarioError for anything missing or malformed.
Scenario loadScenario(const std::filesystem::path& folder);

}  // namespace casim

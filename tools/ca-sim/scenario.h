// A scenario: a simulated machine to run actions on, kept in a folder that
// both ca-sim and the end-to-end harness use (the harness asks ca-sim for
// what scenario.txt says: `ca-sim scenario DIR --json`).
//   machine.reg    the registry (regedit text)
//   registry/      more of it, imported after machine.reg in name order, as
//                  `reg export` writes one key a file (optional)
//   drive_c/       files and folders of drive C:
//   scenario.txt   starting properties, environment, code page, feature and
//                  component states, files held open, actions or sequences
//                  with restarts and host changes between them, expectations
//   FOLDER/        the files a "change FOLDER" line copies over drive C:
#pragma once

#include "platform/sim/code_page.h"

#include <filesystem>
#include <functional>
#include <optional>
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

// "hold PATH [SEQUENCE...]": a file (Windows form, machine text) held open
// with share mode 0 while the named sequences (all of them when none is
// named) run that follow the line and come before the next "restart" line,
// which ends the hold: a hold after "sequence install" can hold a file only
// during a second installation (an upgrade), one before a restart only
// until then.
struct Hold {
    std::string path;
    std::vector<std::string> sequences;
    std::size_t afterSequences = 0;                // the sequences before the line, which it leaves alone
    std::optional<std::size_t> untilSequences;     // the restart's: the sequences before it
    int line = 0;
};

// "restart" between sequence lines: the machine restarts after the first
// `afterSequences` sequences.
struct Restart {
    std::size_t afterSequences = 0;
    int line = 0;
};

// "change FOLDER" between sequence lines: after the first `afterSequences`
// sequences, the files under FOLDER (relative to the scenario folder, laid
// out like drive_c/) are copied over drive C:, adding files and replacing
// those there, as a host's patch or reinstallation does.
struct Change {
    std::string folder;  // '/'-separated, UTF-8: a path beside scenario.txt, not on the machine
    std::size_t afterSequences = 0;
    int line = 0;
    std::filesystem::path root;  // what `folder` is below when not the scenario's folder (another's script)
};

// What happens between two sequences, in the order of the file's lines.
struct Between {
    enum class Kind { restart, change } kind;
    std::size_t index;  // into Scenario::restarts or Scenario::changes
};

// "codepage N": the machine's ANSI code page, one the simulator models (1252 or 932).
struct CodePage {
    int number = 0;
    int line = 0;
};

struct Scenario {
    std::filesystem::path folder;
    std::string file;                      // scenario.txt as errors name it ("" when there is none)
    std::vector<std::filesystem::path> registryFiles;  // machine.reg, then registry/*.reg in name order
    std::vector<Setting> properties;       // "property NAME=VALUE"
    std::vector<Setting> environment;      // "env NAME=VALUE"
    std::optional<CodePage> codePage;      // "codepage N" (1252 when absent)
    std::vector<InstallState> features;    // "feature NAME=ACTION [installed=STATE]"
    std::vector<InstallState> components;  // "component NAME=ACTION [installed=STATE]"
    std::vector<Hold> holds;               // "hold PATH [SEQUENCE...]"
    std::vector<Named> actions;            // "run ACTION ..."
    std::vector<Named> sequences;          // "sequence NAME ...": each in a new installer session
    std::vector<Restart> restarts;         // "restart" between sequence lines
    std::vector<Change> changes;           // "change FOLDER" between sequence lines
    std::vector<Setting> expectations;     // "expect NAME=VALUE" ("" = not set)
};

// Calls visit(line, number) for each line of `text`, numbered from 1, without its line end.
void forEachLine(const std::string& text, const std::function<void(const std::string& line, int number)>& visit);

// Parses scenario.txt text; `fileName` names it in errors.
Scenario parseScenarioText(const std::string& text, const std::string& fileName);
// Reads a scenario folder; throws ScenarioError for anything missing or malformed.
Scenario loadScenario(const std::filesystem::path& folder);

// The restarts and changes after the first `afterSequences` sequences, in
// their lines' order (restarts first where no line says).
std::vector<Between> betweenSequences(const Scenario& scenario, std::size_t afterSequences);

// The code page that the scenario's machine runs in.
sim::CodePage machineCodePage(const Scenario& scenario);

// The one writer of scenario.txt: every statement of `scenario` (expectations
// included), after `comment` (lines without their "# ").
std::string scenarioText(const Scenario& scenario, const std::vector<std::string>& comment = {});

}  // namespace casim

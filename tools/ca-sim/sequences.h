// The package's execute sequences, as package/sequences.txt writes them down.
#pragma once

#include "conditions.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace casim {

// One step: an exported action, or ("set") a property set to formatted text
// ([NAME] a property, [%NAME] an environment variable), as a type 51 custom
// action does it, or ("error") the package's error that stops the
// installation, or ("InstallFinalize") where the installer places the
// package's own files, which the scenario's machine holds already.
struct SequencedAction {
    std::string action;
    Condition condition;    // empty: always; in the machine's code page, as the package's tables hold it
    std::string property;   // for "set"
    std::string value;      // for "set", before formatting
    int error = 0;          // for "error": the package's message number; the installation stops there (1603)
    int line = 0;           // in sequences.txt
};

using Sequences = std::map<std::string, std::vector<SequencedAction>>;

// True when `name` is an exported action of the library.
bool isKnownAction(const std::string& name);
std::vector<std::string> knownActions();

// Parses the text, conditions included; throws ScenarioError (file, line,
// reason) for bad lines, unknown actions and conditions that do not parse.
Sequences parseSequences(const std::string& text, const std::string& fileName);
Sequences loadSequences(const std::filesystem::path& file);

// Formatted text: [NAME] and [%NAME] replaced by the property or variable ("" when unset).
std::string formatText(const std::string& text, const std::function<std::string(const std::string&)>& property,
                       const std::function<std::string(const std::string&)>& environment);

// ui, ui-browse, ui-next and ui-help: what msiexec runs with its dialog.
bool isUiSequence(const std::string& name);
// The step that marks where the installer places the package's files.
inline constexpr const char* kInstallFinalize = "InstallFinalize";
// What msiexec ends with when an error step stops it.
inline constexpr int kInstallFailure = 1603;
// The properties msiexec sets for a session of "NAME[+NAME...]": UILevel (5
// with a UI sequence, else 2), REMOVE=ALL and Installed for removal.
std::map<std::string, std::string> sequenceProperties(const std::string& sequence);

}  // namespace casim

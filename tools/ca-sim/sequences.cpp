#include "sequences.h"

#include "conditions.h"
#include "scenario.h"
#include "text.h"

#include "actions/exports.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace casim {

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

Sequences parseSequences(const std::string& text, const std::string& fileName)
{
    Sequences sequences;
    forEachLine(text, [&](const std::string& line, int lineNo) {
        std::istringstream words(line);
        std::string sequence, action;
        if (!(words >> sequence) || sequence[0] == '#') return;
        if (!(words >> action)) throw ScenarioError(fileName, lineNo, "expected SEQUENCE ACTION [CONDITION]");
        SequencedAction step;
        step.action = action;
        step.line = lineNo;
        if (action == "set") {
            std::string assignment;
            const auto eq = (words >> assignment) ? assignment.find('=') : std::string::npos;
            if (eq == std::string::npos || eq == 0)
                throw ScenarioError(fileName, lineNo, "expected SEQUENCE set NAME=VALUE [CONDITION]");
            step.property = assignment.substr(0, eq);
            const auto value = ansiFromUtf8(assignment.substr(eq + 1));
            if (!value) throw ScenarioError(fileName, lineNo, "the value is not UTF-8 text that the machine's code page can hold");
            step.value = *value;
        } else if (action == "error" || action == kInstallFinalize) {
            if (sequence != "install" && sequence != "remove")
                throw ScenarioError(fileName, lineNo, action + " belongs to the install or remove sequence");
            std::string number;
            if (action == "error" && (!(words >> number) || number.size() != 5 || number.rfind("25", 0) != 0 ||
                                      number.find_first_not_of("0123456789") != std::string::npos))
                throw ScenarioError(fileName, lineNo, "expected SEQUENCE error NUMBER [CONDITION] (25000-25999)");
            if (action == "error") step.error = std::stoi(number);
        } else if (!isKnownAction(action)) {
            throw ScenarioError(fileName, lineNo, "unknown action \"" + action + "\"");
        }
        std::string condition;
        std::getline(words, condition);
        const auto first = condition.find_first_not_of(" \t");
        condition = first == std::string::npos ? std::string() : condition.substr(first);
        while (!condition.empty() && (condition.back() == ' ' || condition.back() == '\t')) condition.pop_back();
        if (action == kInstallFinalize && !condition.empty())
            throw ScenarioError(fileName, lineNo, std::string(kInstallFinalize) + " stands on a line of its own");
        const auto ansi = ansiFromUtf8(condition);
        if (!ansi) throw ScenarioError(fileName, lineNo, "the condition is not UTF-8 text that the machine's code page can hold");
        try {
            step.condition = Condition::parse(*ansi);
        } catch (const ConditionError& error) {
            throw ScenarioError(fileName, lineNo, "condition \"" + condition + "\": " + error.what());
        }
        sequences[sequence].push_back(step);
    });
    return sequences;
}

Sequences loadSequences(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ScenarioError(file.string(), 0, "cannot be read");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    return parseSequences(text, file.string());
}

std::string formatText(const std::string& text, const std::function<std::string(const std::string&)>& property,
                       const std::function<std::string(const std::string&)>& environment)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto close = text[i] == '[' ? text.find(']', i) : std::string::npos;
        if (close == std::string::npos) {
            out += text[i++];
            continue;
        }
        const std::string name = text.substr(i + 1, close - i - 1);
        out += !name.empty() && name[0] == '%' ? environment(name.substr(1)) : property(name);
        i = close + 1;
    }
    return out;
}

bool isUiSequence(const std::string& name)
{
    return name == "ui" || name.rfind("ui-", 0) == 0;
}

std::map<std::string, std::string> sequenceProperties(const std::string& sequence)
{
    // msiexec /qn is UI level 2; with its dialog, the whole session is at 5.
    bool ui = false, removal = false;
    std::stringstream parts(sequence);
    for (std::string part; std::getline(parts, part, '+');) {
        ui = ui || isUiSequence(part);
        removal = removal || part == "remove";
    }
    std::map<std::string, std::string> properties{{"UILevel", ui ? "5" : "2"}};
    if (removal) properties.insert({{"REMOVE", "ALL"}, {"Installed", "1"}});
    return properties;
}

}  // namespace casim

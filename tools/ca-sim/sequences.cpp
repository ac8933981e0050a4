#include "sequences.h"

#include "conditions.h"
#include "runner.h"
#include "scenario.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace casim {

Sequences parseSequences(const std::string& text, const std::string& fileName)
{
    Sequences sequences;
    forEachLine(text, [&](const std::string& line, int lineNo) {
        std::istringstream words(line);
        std::string sequence, action;
        if (!(words >> sequence) || sequence[0] == '#') return;
        if (!(words >> action)) throw ScenarioError(fileName, lineNo, "expected SEQUENCE ACTION [CONDITION]");
        SequencedAction step{action, {}, {}, {}};
        if (action == "set") {
            std::string assignment;
            const auto eq = (words >> assignment) ? assignment.find('=') : std::string::npos;
            if (eq == std::string::npos || eq == 0)
                throw ScenarioError(fileName, lineNo, "expected SEQUENCE set NAME=VALUE [CONDITION]");
            step.property = assignment.substr(0, eq);
            step.value = assignment.substr(eq + 1);
        } else if (!isKnownAction(action)) {
            throw ScenarioError(fileName, lineNo, "unknown action \"" + action + "\"");
        }
        std::string condition;
        std::getline(words, condition);
        const auto first = condition.find_first_not_of(" \t");
        condition = first == std::string::npos ? std::string() : condition.substr(first);
        while (!condition.empty() && (condition.back() == ' ' || condition.back() == '\t')) condition.pop_back();
        try {
            const Lookup none = [](const std::string&) { return std::optional<std::string>(); };
            evaluateCondition(condition, none, none);
        } catch (const ConditionError& e) {
            throw ScenarioError(fileName, lineNo, e.what());
        }
        step.condition = condition;
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

std::map<std::string, std::string> sequenceProperties(const std::string& sequence)
{
    std::stringstream parts(sequence);
    std::string part;
    while (std::getline(parts, part, '+'))
        if (part == "remove") return {{"REMOVE", "ALL"}, {"Installed", "1"}};
    return {};
}

}  // namespace casim

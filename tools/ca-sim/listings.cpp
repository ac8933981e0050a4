#include "listings.h"

#include "names.h"
#include "report.h"
#include "staging.h"
#include "text.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace casim {
namespace {

using Json = nlohmann::ordered_json;

void print(std::ostream& out, const Json& json)
{
    out << json.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

Json settings(const std::vector<Setting>& list)
{
    Json out = Json::array();
    for (const auto& s : list) out.push_back({{"name", s.name}, {"value", utf8FromAnsi(s.value)}, {"line", s.line}});
    return out;
}

Json names(const std::vector<Named>& list)
{
    Json out = Json::array();
    for (const auto& n : list) out.push_back({{"name", n.name}, {"line", n.line}});
    return out;
}

Json states(const std::vector<InstallState>& list)
{
    Json out = Json::array();
    for (const auto& s : list)
        out.push_back({{"name", s.name}, {"action", s.action}, {"installed", s.installed}, {"line", s.line}});
    return out;
}

// Relative to the scenario folder, in the order they are imported.
Json registryFiles(const Scenario& s)
{
    Json out = Json::array();
    for (const auto& file : s.registryFiles) out.push_back(file.lexically_relative(s.folder).generic_string());
    return out;
}

Json scenarioJson(const Scenario& s)
{
    Json holds = Json::array(), restarts = Json::array();
    for (const auto& h : s.holds) holds.push_back({{"path", utf8FromAnsi(h.path)},
                                                  {"sequences", h.sequences},
                                                  {"afterSequences", h.afterSequences},
                                                  {"untilSequences", h.untilSequences ? Json(*h.untilSequences) : Json(nullptr)},
                                                  {"line", h.line}});
    for (const auto& r : s.restarts) restarts.push_back({{"afterSequences", r.afterSequences}, {"line", r.line}});
    Json changes = Json::array();
    for (const auto& c : s.changes)
        changes.push_back({{"folder", c.folder}, {"afterSequences", c.afterSequences}, {"line", c.line}});
    return Json{{"format", 1},
                {"folder", s.folder.string()},
                {"file", s.file},
                {"registry", registryFiles(s)},
                {"properties", settings(s.properties)},
                {"environment", settings(s.environment)},
                {"codepage", s.codePage ? Json(s.codePage->number) : Json(nullptr)},
                {"features", states(s.features)},
                {"components", states(s.components)},
                {"holds", std::move(holds)},
                {"run", names(s.actions)},
                {"sequences", names(s.sequences)},
                {"restarts", std::move(restarts)},
                {"changes", std::move(changes)},
                {"expect", settings(s.expectations)}};
}

// Every step in the file's order.
Json sequencesJson(const Sequences& sequences, const std::string& file)
{
    std::vector<std::pair<const std::string*, const SequencedAction*>> steps;
    for (const auto& [name, list] : sequences)
        for (const auto& step : list) steps.emplace_back(&name, &step);
    std::sort(steps.begin(), steps.end(), [](const auto& a, const auto& b) { return a.second->line < b.second->line; });
    Json out = Json::array();
    for (const auto& [name, step] : steps) {
        Json s{{"sequence", *name}, {"action", step->action}};
        if (step->action == "set") s.update({{"property", step->property}, {"value", utf8FromAnsi(step->value)}});
        if (step->action == "error") s["error"] = step->error;
        s.update({{"condition", utf8FromAnsi(step->condition.text())}, {"line", step->line}});
        out.push_back(std::move(s));
    }
    return Json{{"format", 1}, {"file", file}, {"steps", std::move(out)}};
}

bool isUnder(const std::string& key, const std::vector<std::string>& under)
{
    return under.empty() || std::any_of(under.begin(), under.end(), [&](const std::string& top) { return atOrBelow(key, top); });
}

}  // namespace

void printScenario(std::ostream& out, const Scenario& scenario, bool json)
{
    if (json) return print(out, scenarioJson(scenario));
    out << scenarioText(scenario);
}

void printSequences(std::ostream& out, const Sequences& sequences, const std::string& file, bool json)
{
    if (json) return print(out, sequencesJson(sequences, file));
    for (const auto& [name, steps] : sequences) {
        out << name << "\n";
        for (const auto& step : steps)
            out << "  " << step.action
                << (step.action == "set" ? " " + step.property + "=" + utf8FromAnsi(step.value) : std::string())
                << (step.action == "error" ? " " + std::to_string(step.error) : std::string())
                << (step.condition.empty() ? "" : "  if " + utf8FromAnsi(step.condition.text())) << "\n";
    }
}

void printManifest(std::ostream& out, bool json)
{
    const auto payload = stagedPayload();
    if (!json) {
        for (const auto& e : payload) out << e.path << "\n";
        return;
    }
    Json entries = Json::array();
    for (const auto& e : payload)
        entries.push_back({{"path", e.path}, {"kind", e.folder ? "folder" : "file"}, {"what", e.what}});
    print(out, Json{{"format", 1}, {"entries", std::move(entries)}});
}

void printRegistry(std::ostream& out, const sim::Registry& registry, const std::vector<std::string>& under,
                   const std::string& file, bool json)
{
    sim::Registry chosen;
    Json keys = Json::array();
    for (const auto& [key, values] : registry.flatten()) {
        if (key.empty() || !isUnder(key, under)) continue;
        chosen.createKey(key);
        Json list = Json::array();
        for (const auto& [name, value] : values) {
            chosen.setValue(key, name, value);
            list.push_back({{"name", utf8FromAnsi(name)}, {"type", value.type}, {"data", hexBytes(value.data, "")}});
        }
        keys.push_back({{"key", utf8FromAnsi(key)}, {"values", std::move(list)}});
    }
    if (json)
        print(out, Json{{"format", 1}, {"file", file}, {"keys", std::move(keys)}});
    else
        out << chosen.exportText();
}

}  // namespace casim

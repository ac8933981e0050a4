// The JSON report. Format 1 is described by report.schema.json beside this
// file; a change that breaks a reader of format 1 takes a new number.
#include "report.h"
#include "text.h"

#include <nlohmann/json.hpp>

namespace casim {
namespace {

using Json = nlohmann::ordered_json;

Json text(const std::optional<std::string>& ansi)
{
    return ansi ? Json(utf8FromAnsi(*ansi)) : Json(nullptr);
}

template <class C>
const char* kindName(const C& change)
{
    switch (kindOf(change)) {
    case ChangeKind::added: return "added";
    case ChangeKind::removed: return "removed";
    case ChangeKind::changed: break;
    }
    return "changed";
}

const char* typeName(std::uint32_t type)
{
    static const char* names[] = {"REG_NONE",  "REG_SZ",   "REG_EXPAND_SZ",       "REG_BINARY",
                                  "REG_DWORD", "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ"};
    if (type < std::size(names)) return names[type];
    return type == 11 ? "REG_QWORD" : "REG_UNKNOWN";
}

// Strings up to their first zero, a DWORD as a number, a multi-string as a
// list, anything else (or anything malformed) as hex bytes.
Json registryValue(const std::optional<sim::RegValue>& value)
{
    if (!value) return nullptr;
    const auto& d = value->data;
    Json data;
    const bool terminated = !d.empty() && d.back() == 0;
    if ((value->type == 1 || value->type == 2) && terminated) {
        const std::string s(d.begin(), d.end() - 1);
        data = utf8FromAnsi(s.substr(0, s.find('\0')));
    } else if (value->type == 4 && d.size() == 4) {
        data = static_cast<std::uint32_t>(d[0] | d[1] << 8 | d[2] << 16 | static_cast<std::uint32_t>(d[3]) << 24);
    } else if (value->type == 7 && terminated) {
        data = Json::array();
        std::string s(d.begin(), d.end() - 1);
        if (!s.empty() && s.back() == '\0') s.pop_back();
        for (std::size_t start = 0; !s.empty() && start <= s.size();) {
            const auto nul = std::min(s.find('\0', start), s.size());
            data.push_back(utf8FromAnsi(s.substr(start, nul - start)));
            start = nul + 1;
        }
    } else {
        data = hexBytes(d, ",");
    }
    Json out;
    out["type"] = typeName(value->type);
    out["typeNumber"] = value->type;
    out["data"] = std::move(data);
    out["size"] = d.size();
    return out;
}

Json controlRow(const std::optional<sim::ControlRow>& row)
{
    if (!row) return nullptr;
    static const char* columns[] = {"Dialog_", "Control", "Type",     "X",    "Y",            "Width",
                                    "Height",  "Attributes", "Property", "Text", "Control_Next", "Help"};
    Json fields;
    for (std::size_t i = 0; i < row->fields.size(); ++i) fields[columns[i]] = utf8FromAnsi(row->fields[i]);
    return Json{{"temporary", row->temporary}, {"fields", std::move(fields)}};
}

Json fileChange(const FileChange& c)
{
    // A folder has no size and no diff: null, as for a file whose diff is not shown.
    const bool file = !c.folder;
    const auto diff = textDiff(c);
    return Json{{"change", kindName(c)},
                {"path", utf8FromAnsi(c.path)},
                {"type", file ? "file" : "folder"},
                {"sizeBefore", file && c.before ? Json(c.before->size()) : Json(nullptr)},
                {"sizeAfter", file && c.after ? Json(c.after->size()) : Json(nullptr)},
                {"diff", diff ? Json(utf8FromAnsi(*diff)) : Json(nullptr)}};
}

// Keys and values in one list, as regedit shows them; a key's "name" is null.
Json registryChanges(const Changes& changes)
{
    Json list = Json::array();
    for (const auto& c : changes.keys)
        list.push_back({{"change", kindName(c)}, {"key", utf8FromAnsi(c.key)}, {"name", nullptr},
                        {"before", nullptr}, {"after", nullptr}});
    for (const auto& c : changes.values)
        list.push_back({{"change", kindName(c)}, {"key", utf8FromAnsi(c.key)}, {"name", utf8FromAnsi(c.name)},
                        {"before", registryValue(c.before)}, {"after", registryValue(c.after)}});
    return list;
}

Json changes(const Changes& changes)
{
    Json properties = Json::array(), files = Json::array(), controls = Json::array();
    for (const auto& c : changes.properties)
        properties.push_back({{"change", kindName(c)}, {"name", c.name}, {"before", text(c.before)}, {"after", text(c.after)}});
    for (const auto& c : changes.files) files.push_back(fileChange(c));
    for (const auto& c : changes.controls) {
        const sim::ControlRow& row = c.after ? *c.after : *c.before;
        controls.push_back({{"change", kindName(c)}, {"control", utf8FromAnsi(row.fields[1])},
                            {"before", controlRow(c.before)}, {"after", controlRow(c.after)}});
    }
    return Json{{"properties", std::move(properties)},
                {"files", std::move(files)},
                {"registry", registryChanges(changes)},
                {"controls", std::move(controls)}};
}

Json step(const ActionReport& r)
{
    Json s;
    s["session"] = r.session;
    const bool between = r.action == "restart" || r.action == "change";
    s["kind"] = r.action == "set" || r.action == "error" || between ? r.action : "action";
    if (r.action == "set")
        s["set"] = {{"name", r.property}, {"value", utf8FromAnsi(r.value)}};
    else if (r.action == "error")
        s["error"] = r.error;
    else if (r.action == "change")
        s["folder"] = r.folder;
    else if (!between)
        s["action"] = r.action;
    s["condition"] = r.condition.empty() ? Json(nullptr) : Json(utf8FromAnsi(r.condition));
    Json values = Json::object();
    for (const auto& ref : r.conditionValues) values[utf8FromAnsi(ref.symbol)] = text(ref.value);
    s["conditionValues"] = std::move(values);
    s["skipped"] = r.skipped;
    // An error step's result is what msiexec then ends with.
    s["result"] = r.skipped || r.action == "set" || between ? Json(nullptr) : Json(r.result);
    s["restartRequested"] = r.restartRequested;
    s["changes"] = changes(r.changes);
    Json boxes = Json::array();
    for (const auto& box : r.messageBoxes)
        boxes.push_back({{"caption", utf8FromAnsi(box.caption)}, {"text", utf8FromAnsi(box.text)}, {"style", box.style}});
    s["messageBoxes"] = std::move(boxes);
    Json log = Json::array();
    for (const auto& line : r.logMessages) log.push_back(utf8FromAnsi(line));
    s["log"] = std::move(log);
    Json opened = Json::array();
    for (const auto& target : r.openedTargets) opened.push_back(utf8FromAnsi(target));
    s["opened"] = std::move(opened);
    s["handlesLeftOpen"] = r.leakedHandles;
    return s;
}

Json hostSummary(const HostSummary& h)
{
    Json differences = Json::array();
    for (const auto& d : h.differences) differences.push_back(utf8FromAnsi(d.text));
    return Json{{"folder", utf8FromAnsi(h.folder)},
                {"kind", "host"},
                {"afterInstallation",
                 {{"filesAdded", h.added},
                  {"filesDeleted", h.deleted},
                  {"changed", h.changed},
                  {"orvellaEntries", h.orvellaEntries ? Json(*h.orvellaEntries) : Json(nullptr)},
                  {"otherLinesKept", h.otherLinesKept ? Json(*h.otherLinesKept) : Json(nullptr)}}},
                {"afterRemoval", {{"asBefore", h.differences.empty()}, {"differences", std::move(differences)}}}};
}

Json summary(const Summary& summary)
{
    Json folders = Json::array();
    for (const auto& h : summary.hosts) folders.push_back(hostSummary(h));
    const StagingSummary& s = summary.staging;
    Json left = Json::array();
    for (const auto& name : s.left) left.push_back(utf8FromAnsi(name));
    folders.push_back({{"folder", utf8FromAnsi(s.folder)},
                       {"kind", "staging"},
                       {"afterInstallation",
                        {{"stagedFiles", s.stagedFiles},
                         {"deleted", s.stagedFiles - static_cast<int>(s.left.size())},
                         {"left", std::move(left)}}},
                       {"afterRemoval", {{"changedByRemoval", s.touchedByRemoval}}}});
    return folders;
}

}  // namespace

void printJson(std::ostream& out, const Outcome& outcome)
{
    Json report;
    report["format"] = 1;
    report["command"] = outcome.command;
    report["scenario"] = outcome.scenario.empty() ? Json(nullptr) : Json(outcome.scenario);
    Json steps = Json::array();
    for (const auto& r : outcome.steps) steps.push_back(step(r));
    report["steps"] = std::move(steps);
    Json sessions = Json::array();
    for (const auto& s : outcome.sessions) sessions.push_back({{"session", s.name}, {"restartRequested", s.restartRequested}});
    report["sessions"] = std::move(sessions);
    Json properties = Json::object();
    for (const auto& [name, value] : outcome.properties) properties[utf8FromAnsi(name)] = utf8FromAnsi(value);
    report["properties"] = std::move(properties);
    Json expectations = Json::array();
    for (const auto& e : outcome.expectations)
        expectations.push_back({{"file", e.file},
                                {"line", e.line},
                                {"name", e.name},
                                {"expected", utf8FromAnsi(e.expected)},
                                {"actual", utf8FromAnsi(e.actual)},
                                {"passed", e.passed()}});
    report["expectations"] = std::move(expectations);
    report["summary"] = outcome.summary ? summary(*outcome.summary) : Json(nullptr);
    report["status"] = outcome.status;
    // Text from ca-sim's own files (a scenario path, a condition) is UTF-8 already;
    // should it not be, a replacement character beats invalid output.
    out << report.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

}  // namespace casim

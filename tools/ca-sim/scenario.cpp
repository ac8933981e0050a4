#include "scenario.h"

#include "text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>

namespace casim {
namespace {

constexpr const char* kBlanks = " \t";

std::string trim(const std::string& s)
{
    const auto begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return {};
    const auto end = s.find_last_not_of(" \t\r");
    return s.substr(begin, end - begin + 1);
}

bool isPropertyName(const std::string& name)
{
    if (name.empty()) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.')) return false;
    return !std::isdigit(static_cast<unsigned char>(name[0]));
}

std::optional<int> integer(const std::string& text)
{
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return n;
}

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;) out.push_back(word);
    return out;
}

// One statement: its keyword's handler gets the text after the keyword, with
// its trailing blanks (values keep them).
struct Statement {
    Scenario& scenario;
    const std::string& file;
    int line;
    std::string rest;
    bool first;  // no statement stands before it

    [[noreturn]] void fail(const std::string& why) const { throw ScenarioError(file, line, why); }

    // Values stay UTF-8 until the whole file is read: the code page may be named after them.
    std::string machineText(const std::string& utf8, const char* what) const
    {
        if (!sim::isUtf8(utf8)) fail(std::string("the ") + what + " is not UTF-8 text");
        return utf8;
    }

    Setting assignment(const char* keyword) const
    {
        const auto eq = rest.find('=');
        if (eq == std::string::npos) fail(std::string("expected ") + keyword + " NAME=VALUE");
        Setting s{trim(rest.substr(0, eq)), machineText(rest.substr(eq + 1), "value"), line};
        if (!isPropertyName(s.name)) fail("invalid name \"" + s.name + "\"");
        return s;
    }

    // "NAME=ACTION [installed=STATE]"
    InstallState installState(const char* keyword) const
    {
        const std::string form = std::string("expected ") + keyword + " NAME=ACTION [installed=STATE], states as integers";
        const Setting s = assignment(keyword);
        const auto parts = words(s.value);
        const auto action = parts.empty() ? std::nullopt : integer(parts[0]);
        if (!action || parts.size() > 2) fail(form);
        InstallState state{s.name, *action, 2, line};
        if (parts.size() == 2) {
            const auto installed = parts[1].rfind("installed=", 0) == 0 ? integer(parts[1].substr(10)) : std::nullopt;
            if (!installed) fail(form);
            state.installed = *installed;
        }
        return state;
    }

    void names(std::vector<Named>& list, const char* keyword) const
    {
        const auto found = words(rest);
        if (found.empty()) fail(std::string("\"") + keyword + "\" needs at least one " +
                                (std::string(keyword) == "run" ? "action" : "sequence") + " name");
        for (const auto& name : found) list.push_back({name, line});
    }

    // A path and the text after it; a path with blanks is written in double quotes.
    std::pair<std::string, std::string> path(const char* form) const
    {
        std::string path = rest, after;
        if (!rest.empty() && rest[0] == '"') {
            const auto close = rest.find('"', 1);
            if (close == std::string::npos) fail("unterminated quote in the path");
            path = rest.substr(1, close - 1);
            after = rest.substr(close + 1);
            if (!after.empty() && after.find_first_of(kBlanks) != 0) fail("expected a blank after the quoted path");
        } else {
            const auto blank = rest.find_first_of(kBlanks);
            path = rest.substr(0, blank);
            after = blank == std::string::npos ? std::string() : rest.substr(blank);
        }
        if (trim(path).empty()) fail(std::string("expected ") + form);
        return {path, after};
    }

    // "hold PATH [SEQUENCE...]"
    Hold hold() const
    {
        const auto [path, after] = this->path("hold PATH [SEQUENCE...]");
        return Hold{machineText(path, "path"), words(after), scenario.sequences.size(), std::nullopt, line};
    }

    // "change FOLDER": plain names below the scenario folder, outside what
    // ca-sim reads as the machine itself.
    void change() const
    {
        const auto [path, after] = this->path("change FOLDER");
        if (!trim(after).empty()) fail("\"change\" takes one folder");
        if (scenario.sequences.empty()) fail("\"change\" goes after a \"sequence\" line");
        std::string folder = machineText(path, "folder");
        if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        if (folder.find('\\') != std::string::npos) fail("write the folder with /, relative to the scenario folder");
        std::istringstream parts(folder);
        std::string first;
        std::getline(parts, first, '/');
        parts.seekg(0);
        for (std::string part; std::getline(parts, part, '/');)
            if (part.empty() || part == "." || part == ".." || part.find(':') != std::string::npos)
                fail("the folder is a path of names below the scenario folder");
        if (first == "drive_c" || first == "registry") fail("the folder lies outside drive_c/ and registry/");
        scenario.changes.push_back({folder, scenario.sequences.size(), line, {}});
    }

    // "codepage N", or "codepage N ansi" as the first statement of a file
    // written in that code page (the collector's: cmd writes no UTF-8).
    void codePage() const
    {
        auto parts = words(rest);
        if (parts.size() == 2 && parts[1] == "ansi") {
            if (!first) fail("\"codepage N ansi\" must be the file's first statement");
            parts.pop_back();
        }
        const auto number = parts.size() == 1 ? integer(parts[0]) : std::nullopt;
        if (!number || *number <= 0 || !sim::CodePage::of(static_cast<unsigned>(*number)))
            fail("expected codepage 1252 or codepage 932");
        if (scenario.codePage) fail("a second codepage line (the first is line " + std::to_string(scenario.codePage->line) + ")");
        scenario.codePage = CodePage{*number, line};
    }

    void restart() const
    {
        if (!trim(rest).empty()) fail("\"restart\" takes nothing after it");
        if (scenario.sequences.empty()) fail("\"restart\" goes after a \"sequence\" line");
        scenario.restarts.push_back({scenario.sequences.size(), line});
        for (Hold& hold : scenario.holds)
            if (!hold.untilSequences) hold.untilSequences = scenario.sequences.size();
    }
};

using Handler = void (*)(Statement&);
const std::pair<const char*, Handler> kStatements[] = {
    {"property", [](Statement& s) { s.scenario.properties.push_back(s.assignment("property")); }},
    {"env", [](Statement& s) { s.scenario.environment.push_back(s.assignment("env")); }},
    {"codepage", [](Statement& s) { s.codePage(); }},
    {"feature", [](Statement& s) { s.scenario.features.push_back(s.installState("feature")); }},
    {"component", [](Statement& s) { s.scenario.components.push_back(s.installState("component")); }},
    {"hold", [](Statement& s) { s.scenario.holds.push_back(s.hold()); }},
    {"run", [](Statement& s) { s.names(s.scenario.actions, "run"); }},
    {"sequence", [](Statement& s) { s.names(s.scenario.sequences, "sequence"); }},
    {"restart", [](Statement& s) { s.restart(); }},
    {"change", [](Statement& s) { s.change(); }},
    {"expect", [](Statement& s) { s.scenario.expectations.push_back(s.assignment("expect")); }},
};

std::string keywordList()
{
    std::string list;
    for (std::size_t i = 0; i < std::size(kStatements); ++i)
        list += std::string(i == 0 ? "" : i + 1 == std::size(kStatements) ? " or " : ", ") + kStatements[i].first;
    return list;
}

bool isComment(const std::string& line)
{
    return line.empty() || line[0] == '#';
}

// Returns true when the line held a statement.
bool parseLine(Scenario& scenario, const std::string& raw, const std::string& fileName, int lineNo, bool first)
{
    if (raw.find('\0') != std::string::npos) throw ScenarioError(fileName, lineNo, "NUL byte in line");
    // A line ends in LF or CR LF; a CR anywhere else would not survive the writer.
    if (raw.find('\r') != std::string::npos) throw ScenarioError(fileName, lineNo, "a carriage return inside the line");
    const std::string line = trim(raw);
    if (isComment(line)) return false;
    const std::string keyword = line.substr(0, line.find_first_of(kBlanks));
    // The rest keeps its trailing blanks: take it from the raw line.
    std::string rest = raw.substr(raw.find_first_not_of(kBlanks) + keyword.size());
    rest.erase(0, std::min(rest.size(), rest.find_first_not_of(kBlanks)));
    for (const auto& [name, handler] : kStatements)
        if (keyword == name) {
            Statement statement{scenario, fileName, lineNo, rest, first};
            handler(statement);
            return true;
        }
    throw ScenarioError(fileName, lineNo, "unknown keyword \"" + keyword + "\" (expected " + keywordList() + ")");
}

// Values reach the machine in its code page, as msiexec's command line
// reaches an ANSI custom action.
void toMachineText(Scenario& scenario)
{
    const sim::CodePage codePage = machineCodePage(scenario);
    const auto convert = [&](std::string& text, int line, const char* what) {
        const auto ansi = codePage.fromUtf8Exactly(text);
        if (!ansi)
            throw ScenarioError(scenario.file, line,
                                std::string("the ") + what + " is not text that code page " +
                                    std::to_string(codePage.number()) + " can hold");
        text = *ansi;
    };
    for (auto* settings : {&scenario.properties, &scenario.environment, &scenario.expectations})
        for (Setting& s : *settings) convert(s.value, s.line, "value");
    for (Hold& h : scenario.holds) convert(h.path, h.line, "path");
}

std::string quotedIfBlank(const std::string& path)
{
    return path.find_first_of(kBlanks) == std::string::npos ? path : "\"" + path + "\"";
}

void writeHold(std::ostringstream& out, const Hold& h, const sim::CodePage& codePage)
{
    out << "hold " << quotedIfBlank(codePage.toUtf8(h.path));
    for (const auto& name : h.sequences) out << " " << name;
    out << "\n";
}

// Holds, restarts and changes stand where they stood among the sequences: a
// hold that a restart ends before it, one after a restart after it.
void writeSteps(std::ostringstream& out, const Scenario& s, const sim::CodePage& codePage)
{
    std::string names;
    for (const auto& a : s.actions) names += " " + a.name;
    if (!names.empty()) out << "run" << names << "\n";
    std::size_t next = 0;
    const auto sequencesUpTo = [&](std::size_t end) {
        std::string line = "sequence";
        for (; next < end && next < s.sequences.size(); ++next) line += " " + s.sequences[next].name;
        if (line != "sequence") out << line << "\n";
    };
    for (std::size_t gap = 0; gap <= s.sequences.size(); ++gap) {
        const auto holds = [&](bool endedHere) {
            for (const Hold& h : s.holds)
                if (h.afterSequences == gap && (h.untilSequences == gap) == endedHere) {
                    sequencesUpTo(gap);
                    writeHold(out, h, codePage);
                }
        };
        holds(true);
        for (const Between& step : betweenSequences(s, gap)) {
            sequencesUpTo(gap);
            if (step.kind == Between::Kind::restart)
                out << "restart\n";
            else
                out << "change " << quotedIfBlank(s.changes[step.index].folder) << "\n";
        }
        holds(false);
    }
    sequencesUpTo(s.sequences.size());
}

}  // namespace

ScenarioError::ScenarioError(std::string f, int l, std::string r)
    : std::runtime_error(f + (l > 0 ? ":" + std::to_string(l) : std::string()) + ": " + r),
      file(std::move(f)),
      line(l),
      reason(std::move(r))
{
}

void forEachLine(const std::string& text, const std::function<void(const std::string& line, int number)>& visit)
{
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        visit(line, number);
    }
}

namespace {

// The code page a file declares itself written in ("codepage N ansi" first),
// which the reader then takes as UTF-8. Neither a line feed nor '#' is ever
// the second byte of a character, so the lines split the same either way.
std::optional<sim::CodePage> declaredFileCodePage(const std::string& text)
{
    std::optional<sim::CodePage> found;
    bool seen = false;
    forEachLine(text, [&](const std::string& raw, int) {
        const std::string line = trim(raw);
        if (seen || isComment(line)) return;
        seen = true;
        const auto parts = words(line);
        const bool declared = parts.size() == 3 && parts[0] == "codepage" && parts[2] == "ansi";
        const auto number = declared ? integer(parts[1]) : std::nullopt;
        if (number && *number > 0) found = sim::CodePage::of(static_cast<unsigned>(*number));
    });
    return found;
}

}  // namespace

Scenario parseScenarioText(const std::string& written, const std::string& fileName)
{
    Scenario scenario;
    scenario.file = fileName;
    const auto ansi = declaredFileCodePage(written);
    const std::string text = ansi ? ansi->toUtf8(written) : written;
    bool first = true;
    forEachLine(text, [&](const std::string& line, int number) {
        if (parseLine(scenario, line, fileName, number, first)) first = false;
    });
    if (!scenario.actions.empty() && !scenario.sequences.empty())
        throw ScenarioError(fileName, 0, "a scenario has \"run\" lines or \"sequence\" lines, not both");
    toMachineText(scenario);
    return scenario;
}

Scenario loadScenario(const std::filesystem::path& folder)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) throw ScenarioError(folder.string(), 0, "no such scenario folder");
    const fs::path file = folder / "scenario.txt";
    Scenario scenario;
    if (fs::exists(file, ec)) {
        if (fs::is_directory(file, ec)) throw ScenarioError(file.string(), 0, "is a folder, not a file");
        std::ifstream in(file, std::ios::binary);
        if (!in) throw ScenarioError(file.string(), 0, "cannot be read");
        std::string text((std::istreambuf_iterator<char>(in)), {});
        if (in.bad()) throw ScenarioError(file.string(), 0, "cannot be read");
        scenario = parseScenarioText(text, file.string());
    }
    scenario.folder = folder;
    if (scenario.file.empty()) scenario.file = file.string();
    for (const Change& change : scenario.changes)
        if (!fs::is_directory(folder / change.folder, ec))
            throw ScenarioError(scenario.file, change.line, "no folder " + change.folder + " beside scenario.txt");
    const fs::path reg = folder / "machine.reg";
    if (!fs::exists(reg, ec)) throw ScenarioError(reg.string(), 0, "missing (every scenario has a machine.reg)");
    scenario.registryFiles = {reg};
    std::vector<fs::path> more;
    if (fs::is_directory(folder / "registry", ec))
        for (const auto& entry : fs::directory_iterator(folder / "registry"))
            if (entry.path().extension() == ".reg") more.push_back(entry.path());
    std::sort(more.begin(), more.end());
    scenario.registryFiles.insert(scenario.registryFiles.end(), more.begin(), more.end());
    return scenario;
}

std::vector<Between> betweenSequences(const Scenario& scenario, std::size_t afterSequences)
{
    std::vector<std::pair<int, Between>> found;
    for (std::size_t i = 0; i < scenario.restarts.size(); ++i)
        if (scenario.restarts[i].afterSequences == afterSequences)
            found.push_back({scenario.restarts[i].line, {Between::Kind::restart, i}});
    for (std::size_t i = 0; i < scenario.changes.size(); ++i)
        if (scenario.changes[i].afterSequences == afterSequences)
            found.push_back({scenario.changes[i].line, {Between::Kind::change, i}});
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Between> steps;
    for (const auto& [line, step] : found) steps.push_back(step);
    return steps;
}

sim::CodePage machineCodePage(const Scenario& scenario)
{
    const auto named = scenario.codePage ? sim::CodePage::of(static_cast<unsigned>(scenario.codePage->number)) : std::nullopt;
    return named.value_or(sim::CodePage());
}

std::string scenarioText(const Scenario& s, const std::vector<std::string>& comment)
{
    const sim::CodePage codePage = machineCodePage(s);
    const auto utf8 = [&](const std::string& ansi) { return codePage.toUtf8(ansi); };
    std::ostringstream out;
    for (const auto& line : comment) out << "# " << line << "\n";
    for (const auto& p : s.properties) out << "property " << p.name << "=" << utf8(p.value) << "\n";
    for (const auto& e : s.environment) out << "env " << e.name << "=" << utf8(e.value) << "\n";
    if (s.codePage) out << "codepage " << s.codePage->number << "\n";
    for (const auto& [keyword, list] : {std::pair{"feature", &s.features}, std::pair{"component", &s.components}})
        for (const auto& f : *list)
            out << keyword << " " << f.name << "=" << f.action << " installed=" << f.installed << "\n";
    writeSteps(out, s, codePage);
    for (const auto& e : s.expectations) out << "expect " << e.name << "=" << utf8(e.value) << "\n";
    return out.str();
}

}  // namespace casim

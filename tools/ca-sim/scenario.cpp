#include "scenario.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>

namespace casim {
namespace {

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

Setting splitAssignment(const std::string& rest, const std::string& file, int line, const char* what)
{
    const auto eq = rest.find('=');
    if (eq == std::string::npos) throw ScenarioError(file, line, std::string("expected ") + what + " NAME=VALUE");
    Setting s{trim(rest.substr(0, eq)), rest.substr(eq + 1), line};
    if (!isPropertyName(s.name)) throw ScenarioError(file, line, "invalid name \"" + s.name + "\"");
    return s;
}

std::string codePageName(const sim::CodePage& codePage)
{
    return codePage.number() == sim::CodePage::kWestern ? "Windows-1252"
                                                        : "code page " + std::to_string(codePage.number());
}

// Values reach the machine in its code page, as msiexec's command line
// reaches an ANSI custom action; the code page may be named after them.
void toCodePage(std::vector<Setting>& settings, const sim::CodePage& codePage, const std::string& file)
{
    for (Setting& s : settings) {
        const auto ansi = codePage.fromUtf8Exactly(s.value);
        if (!ansi)
            throw ScenarioError(file, s.line,
                                "the value is not UTF-8 text that " + codePageName(codePage) + " can hold");
        s.value = *ansi;
    }
}

std::optional<int> integer(const std::string& text)
{
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return n;
}

// "NAME=ACTION [installed=STATE]"
InstallState installState(const std::string& rest, const std::string& file, int line, const char* what)
{
    const std::string form = std::string(what) + " NAME=ACTION [installed=STATE], states as integers";
    const Setting s = splitAssignment(rest, file, line, what);
    std::istringstream words(s.value);
    std::string action, installed;
    words >> action >> installed;
    InstallState state{s.name, 0, 2, line};
    const auto a = integer(action);
    if (!a || words >> action) throw ScenarioError(file, line, "expected " + form);
    state.action = *a;
    if (!installed.empty()) {
        const auto i = installed.rfind("installed=", 0) == 0 ? integer(installed.substr(10)) : std::nullopt;
        if (!i) throw ScenarioError(file, line, "expected " + form);
        state.installed = *i;
    }
    return state;
}

// "codepage NUMBER": one that the simulator models, named once.
void setCodePage(Scenario& scenario, const std::string& rest, const std::string& file, int line)
{
    if (scenario.codePageLine != 0)
        throw ScenarioError(
            file, line, "a second \"codepage\" line (the first is line " + std::to_string(scenario.codePageLine) + ")");
    const auto number = integer(trim(rest));
    const auto codePage = number && *number > 0 ? sim::CodePage::of(static_cast<unsigned>(*number)) : std::nullopt;
    if (!codePage) throw ScenarioError(file, line, "expected codepage 1252 or codepage 932");
    scenario.codePage = *codePage;
    scenario.codePageLine = line;
}

// The blank-separated names of a "run" or "sequence" line; at least one.
void appendNames(const std::string& rest, std::vector<Named>& names, const std::string& file, int line,
                 const char* whenNone)
{
    std::istringstream words(rest);
    const std::size_t before = names.size();
    for (std::string name; words >> name;) names.push_back({name, line});
    if (names.size() == before) throw ScenarioError(file, line, whenNone);
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

Scenario parseScenarioText(const std::string& text, const std::string& fileName)
{
    Scenario scenario;
    scenario.file = fileName;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (raw.find('\0') != std::string::npos) throw ScenarioError(fileName, lineNo, "NUL byte in line");
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        const auto space = line.find_first_of(" \t");
        const std::string keyword = line.substr(0, space);
        const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        // Values keep their trailing blanks: take them from the raw line.
        std::string value = raw.substr(raw.find_first_not_of(" \t") + keyword.size());
        value.erase(0, value.find_first_not_of(" \t") == std::string::npos ? value.size()
                                                                           : value.find_first_not_of(" \t"));
        if (!value.empty() && value.back() == '\r') value.pop_back();
        if (keyword == "property") {
            scenario.properties.push_back(splitAssignment(value, fileName, lineNo, "property"));
        } else if (keyword == "env") {
            scenario.environment.push_back(splitAssignment(value, fileName, lineNo, "env"));
        } else if (keyword == "expect") {
            scenario.expectations.push_back(splitAssignment(value, fileName, lineNo, "expect"));
        } else if (keyword == "feature") {
            scenario.features.push_back(installState(value, fileName, lineNo, "feature"));
        } else if (keyword == "component") {
            scenario.components.push_back(installState(value, fileName, lineNo, "component"));
        } else if (keyword == "run") {
            appendNames(rest, scenario.actions, fileName, lineNo, "\"run\" needs at least one action name");
        } else if (keyword == "codepage") {
            setCodePage(scenario, rest, fileName, lineNo);
        } else if (keyword == "sequence") {
            appendNames(rest, scenario.sequences, fileName, lineNo, "\"sequence\" needs at least one sequence name");
        } else {
            throw ScenarioError(
                fileName, lineNo,
                "unknown keyword \"" + keyword +
                    "\" (expected property, env, feature, component, run, sequence, expect or codepage)");
        }
    }
    if (!scenario.actions.empty() && !scenario.sequences.empty())
        throw ScenarioError(fileName, 0, "a scenario has \"run\" lines or \"sequence\" lines, not both");
    for (auto* settings : {&scenario.properties, &scenario.environment, &scenario.expectations})
        toCodePage(*settings, scenario.codePage, fileName);
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
    const fs::path reg = folder / "machine.reg";
    if (!fs::exists(reg, ec)) throw ScenarioError(reg.string(), 0, "missing (every scenario has a machine.reg)");
    return scenario;
}

}  // namespace casim

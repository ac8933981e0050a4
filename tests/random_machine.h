// Random machines for the property tests: host installations of random
// releases with random protk.dat contents and files of the add-in's names of
// their own, written as a scenario that ca-sim replays; what a removal may
// leave different in protk.dat; and one sequence run as msiexec runs it.
#pragma once

#include "actions/install_steps.h"
#include "conditions.h"
#include "package.h"
#include "sequences.h"
#include "sim_fixture.h"
#include "targets.h"

#include <cstdlib>

namespace randomized {
namespace fs = std::filesystem;

struct Release {
    const char* key;     // below HKLM\SOFTWARE\PTC
    const char* folderValue;
    const char* logRelease;  // "" for Creo Parametric 2.0, told by its descriptor
};
const Release kReleases[] = {
    {"Pro/ENGINEER\\Wildfire", "InstallDir", "Wildfire"},
    {"Pro/ENGINEER\\Wildfire 2.0", "InstallDir", "Wildfire 2.0"},
    {"Pro/ENGINEER\\Wildfire 3.0", "InstallDir", "Wildfire 3.0"},
    {"Pro/ENGINEER\\Wildfire 4.0", "InstallDir", "Wildfire 4.0"},
    {"Pro/ENGINEER\\Wildfire 5.0", "InstallDir", "Wildfire 5.0"},
    {"Creo Parametric\\1.0", "CommonFilesLocation", "1.0"},
    {"Creo Parametric\\2.0", "CommonFilesLocation", ""},
};

// Files of the add-in's names that a host may have of its own, below the host folder.
const char* const kHostsOwn[] = {"x86e_win64\\obj\\msvcr90.dll",  "x86e_win64\\obj\\libpng13.dll",
                                 "x86e_win64\\obj\\Lang\\host.dll", "text\\usascii\\resource\\open.png",
                                 "text\\german\\host.txt",         "x86e_win64\\obj\\Microsoft.VC90.CRT\\msvcr90.dll",
                                 "text\\usascii\\ov_messages.txt"};

struct Host {
    int release = 0;
    std::string folder;  // below C:\, e.g. "PTC\h1"
    bool text = true, usascii = true, ribbon = false;
    std::optional<std::vector<std::string>> protk;  // its lines, each with its line end (or none)
    std::vector<std::string> own;                   // of kHostsOwn
    bool linkedProtk = false;  // text\protk.dat is a link to C:\Shared\<folder>\protk.dat
    std::vector<std::pair<std::string, std::string>> userFiles;  // below the host folder: path, content
};

struct Machine {
    std::vector<Host> hosts;
    std::optional<Host> commandLineFolder;  // a Wildfire 5.0 folder without the host, named on the command line
    unsigned codePage = sim::CodePage::kWestern;  // host folders are named in UTF-8 here, as on the disk
};

// The machine's ANSI code page, in which the library reads every path.
inline sim::CodePage codePageOf(const Machine& m) { return *sim::CodePage::of(m.codePage); }

// A path as the disk (and the tests) name it, in UTF-8, as the library reads it.
inline std::string ansiPath(const Machine& m, const std::string& utf8) { return codePageOf(m).fromUtf8(utf8); }

// Japanese folder names whose characters end in the backslash's byte (設計図表,
// ソフト), or differ from another only in a trail byte that reads as a letter (ア, ヂ).
const char* const kJapaneseFolders[] = {"\xe8\xa8\xad\xe8\xa8\x88\xe5\x9b\xb3\xe8\xa1\xa8",
                                        "\xe3\x82\xbd\xe3\x83\x95\xe3\x83\x88", "\xe3\x82\xa2",
                                        "\xe3\x83\x82"};

// --- random machines --------------------------------------------------------

inline std::string randomProtkLine(std::mt19937& rng, const char* lineEnd)
{
    static const char* const kLines[] = {
        "name OtherTool", "NAME   Exporter", "name\tConverter", "startup dll", "exec_file C:\\Tools\\50%\\x.dll",
        "  text_dir\t\tC:\\Tools  ", "allow_stop TRUE", "end", "END  ", "  End", "# a comment", "", "",
        "delay_start FALSE", "name Orvella2", "name orvella", std::string("nul\0byte", 8).c_str(), "lone\rcr"};
    const int pick = static_cast<int>(rng() % 40);
    std::string line;
    if (pick < 18)
        line = kLines[pick];
    else if (pick < 20)
        line = std::string(pick == 18 ? 5000 : 300, 'w');
    else if (pick == 20)
        line = std::string("nul\0byte", 8);
    else if (pick == 21)
        line = "\x1a after a Ctrl-Z";
    else if (pick == 22)
        line = "\r\x1a";  // a lone CR right before a Ctrl-Z
    else if (pick == 23)
        line = "\r";  // a lone CR, next to a name line now and then
    else
        line = "param_" + std::to_string(rng() % 100) + " value";
    return line + lineEnd;
}

// Another add-in's entries, ours now and then in one of the forms a person or a script writes.
inline std::vector<std::string> randomProtk(std::mt19937& rng)
{
    std::vector<std::string> lines;
    const bool lineFeedsOnly = rng() % 3 == 0;
    const int count = static_cast<int>(rng() % 30);
    for (int i = 0; i < count; ++i) {
        const char* lineEnd = lineFeedsOnly || rng() % 4 == 0 ? "\n" : "\r\n";
        if (rng() % 25 == 0) {
            for (const char* line : {"\tNAME  Orvella ", "exec_file x.dll", "end"}) lines.push_back(line + std::string(lineEnd));
            continue;
        }
        lines.push_back(randomProtkLine(rng, lineEnd));
    }
    if (!lines.empty() && rng() % 4 == 0) {  // no final line end
        std::string& last = lines.back();
        while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) last.pop_back();
    }
    return lines;
}

inline Host randomHost(std::mt19937& rng, int number)
{
    Host h;
    h.release = static_cast<int>(rng() % std::size(kReleases));
    h.folder = "PTC\\h" + std::to_string(number);
    if (rng() % 8 == 0) {  // up to the longest folder whose protk.dat path still fits
        const std::size_t length = 200 + rng() % 45;
        h.folder += "\\" + std::string(length - 3 - h.folder.size() - 1, 'x');
    }
    h.text = rng() % 10 != 0;
    h.usascii = h.text && rng() % 5 != 0;
    h.ribbon = h.text && rng() % 2 == 0;
    if (h.text && rng() % 6 != 0) h.protk = randomProtk(rng);
    for (const char* own : kHostsOwn)
        if (rng() % 6 == 0) h.own.push_back(own);
    return h;
}

inline Machine randomMachine(std::mt19937& rng)
{
    Machine m;
    const int hosts = 1 + static_cast<int>(rng() % 4);
    for (int i = 1; i <= hosts; ++i) m.hosts.push_back(randomHost(rng, i));
    if (rng() % 4 == 0) {
        Host cmd = randomHost(rng, 0);
        cmd.folder = "PTC\\cmd5";
        m.commandLineFolder = cmd;
    }
    // A Japanese system now and then, its hosts below Japanese folders (the
    // longest folders stay ASCII: their lengths are counted in bytes). Drawn
    // from a copy, so that a seed's machines and histories stay what they were.
    std::mt19937 japanese = rng;
    if (japanese() % 5 == 0) {
        m.codePage = sim::CodePage::kJapanese;
        for (Host& h : m.hosts)
            if (h.folder.size() < 10)
                h.folder = "PTC\\" + std::string(kJapaneseFolders[japanese() % 4]) + h.folder.substr(3);
    }
    return m;
}

// --- the machine as a scenario ----------------------------------------------

inline void put(const fs::path& drive, const std::string& windowsPath, const std::string& bytes)
{
    std::string p = windowsPath;
    std::replace(p.begin(), p.end(), '\\', '/');
    fs::create_directories((drive / p).parent_path());
    std::ofstream(drive / p, std::ios::binary) << bytes;
}

inline std::string regEscaped(const std::string& text)
{
    std::string out;
    for (char c : text) out += c == '\\' ? "\\\\" : std::string(1, c);
    return out;
}

inline void writeHost(const fs::path& c, const Host& h, bool executable)
{
    fs::create_directories(c / fs::path(h.folder).generic_string() / "x86e_win64" / "obj");
    std::string f = h.folder;
    std::replace(f.begin(), f.end(), '\\', '/');
    fs::create_directories(c / f / "x86e_win64" / "obj");
    if (executable) put(c, h.folder + "\\x86e_win64\\obj\\xtop.exe", "MZ");
    if (h.text) fs::create_directories(c / f / "text");
    if (h.usascii) fs::create_directories(c / f / "text" / "usascii");
    if (h.ribbon) fs::create_directories(c / f / "text" / "ribbon");
    if (h.protk) {
        std::string bytes;
        for (const std::string& line : *h.protk) bytes += line;
        if (h.linkedProtk) {
            const std::string shared = "Shared\\" + h.folder + "\\protk.dat";
            put(c, shared, bytes);
            std::string target;  // from the host's text folder up to C:
            for (const char ch : h.folder + "\\text")
                if (ch == '\\') target += "../";
            target += "../" + shared;
            std::replace(target.begin(), target.end(), '\\', '/');
            fs::create_symlink(target, c / f / "text" / "protk.dat");
        } else {
            put(c, h.folder + "\\text\\protk.dat", bytes);
        }
    }
    for (const auto& [path, content] : h.userFiles) put(c, h.folder + "\\" + path, content);
    for (const std::string& own : h.own)
        if (h.text || own.rfind("text", 0) != 0) put(c, h.folder + "\\" + own, "the host's own");
    const Release& r = kReleases[h.release];
    if (*r.logRelease != '\0')
        put(c, h.folder + "\\uninstall\\instlog.txt", std::string("RELEASE=\"") + r.logRelease + "\"\r\n");
    else
        put(c, h.folder + "\\bin\\pim\\xml\\creobase.p.xml", "<release shipcode=\"M030\" version=\"2.0\"/>");
}

inline void writeScenario(const Machine& m, const fs::path& dir)
{
    fs::remove_all(dir);
    const fs::path c = dir / "drive_c";
    std::string reg = "Windows Registry Editor Version 5.00\r\n";
    int n = 0;
    for (const Host& h : m.hosts) {
        const Release& r = kReleases[h.release];
        reg += "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\PTC\\" + std::string(r.key) + "\\M0" + std::to_string(++n) + "0]\r\n";
        reg += "\"" + std::string(r.folderValue) + "\"=\"" + regEscaped("C:\\" + h.folder) + "\"\r\n";
        reg += "\"DateCode\"=\"20110" + std::to_string(n) + "0\"\r\n\"Shipcode\"=\"M0" + std::to_string(n) + "0\"\r\n";
        writeHost(c, h, true);
    }
    std::string scenario = "sequence install remove\n";
    if (m.codePage != sim::CodePage::kWestern) scenario += "codepage " + std::to_string(m.codePage) + "\n";
    if (m.commandLineFolder) {
        writeHost(c, *m.commandLineFolder, false);
        scenario += "property ISCMDINSTALL=1\nproperty PROEM1=0\nproperty PROEWF5=1\n"
                    "property PROEWF5DIR=C:\\" + m.commandLineFolder->folder + "\\\n";
    }
    std::ofstream(dir / "machine.reg", std::ios::binary) << reg;
    for (const std::string& file : stagedFiles()) put(c, "ProgramData\\" + file, "staged " + file);
    std::ofstream(dir / "scenario.txt", std::ios::binary) << scenario;
}

// --- what may differ ----------------------------------------------------------

// Nothing but our entries and line ends, as the host reads the file.
inline bool onlyOurEntries(const std::string& bytes)
{
    bool inEntry = false;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        const std::string line = bytes.substr(start, end - start);
        start = end + 1;
        std::string word;
        for (char c : line)
            if (c != ' ' && c != '\t' && c != '\r') word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (fuzz::holdsOurEntry(line)) inEntry = true;
        else if (!inEntry && !word.empty()) return false;
        if (word == "end") inEntry = false;
    }
    return true;
}

// protk.dat after an entry was added where the host reads and taken out again.
inline std::string afterRoundTrip(const std::string& before)
{
    const std::size_t at = std::min(before.find('\x1a'), before.size());
    if (at == 0 || before[at - 1] == '\n') return before;
    const bool lineFeedsOnly = before.find("\r\n") == std::string::npos && before.find('\n') != std::string::npos;
    return before.substr(0, at) + (lineFeedsOnly ? "\n" : "\r\n") + before.substr(at);
}

inline std::string describe(const std::optional<std::string>& file)
{
    if (!file) return "a folder";
    std::string shown = file->substr(0, 60);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 32) c = '.';
    return "\"" + shown + "\" (" + std::to_string(file->size()) + " bytes)";
}

// What changed in the host folders that the exceptions do not explain; "" when nothing.
inline std::string unexplained(const std::map<std::string, std::optional<std::string>>& before,
                               const std::map<std::string, std::optional<std::string>>& after)
{
    std::set<std::string> names;
    for (const auto* files : {&before, &after})
        for (const auto& [name, content] : *files) names.insert(name);
    for (const std::string& name : names) {
        const auto b = before.find(name);
        const auto a = after.find(name);
        const bool had = b != before.end();
        const bool has = a != after.end();
        if (had && has && b->second == a->second) continue;
        const bool protk = name.size() > 9 && name.substr(name.size() - 9) == "protk.dat";
        if (protk && had && !has && b->second && onlyOurEntries(*b->second)) continue;
        if (protk && had && has && a->second && b->second) {
            if (fuzz::holdsOurEntry(*b->second) && !fuzz::holdsOurEntry(*a->second)) continue;
            if (*a->second == afterRoundTrip(*b->second)) continue;
        }
        return name + ": before " + (had ? describe(b->second) : "none") + ", after " +
               (has ? describe(a->second) : "none");
    }
    return {};
}

using Files = std::map<std::string, std::optional<std::string>>;  // folders hold nullopt

// Every file and folder below the hosts' folder.
inline Files hostFiles(const fs::path& driveC)
{
    Files files;
    const fs::path ptc = driveC / "PTC";
    for (const auto& item : fs::recursive_directory_iterator(ptc)) {
        std::string name = "C:\\PTC\\" + item.path().lexically_relative(ptc).string();
        std::replace(name.begin(), name.end(), '/', '\\');
        if (item.is_directory()) {
            files[name] = std::nullopt;
        } else {
            std::ifstream in(item.path(), std::ios::binary);
            files[name] = std::string(std::istreambuf_iterator<char>(in), {});
        }
    }
    return files;
}

inline std::vector<std::pair<std::string, std::string>> startingProperties(const Machine& m)
{
    if (!m.commandLineFolder) return {};
    return {{"ISCMDINSTALL", "1"}, {"PROEM1", "0"}, {"PROEWF5", "1"},
            {"PROEWF5DIR", "C:\\" + m.commandLineFolder->folder + "\\"}};
}

// One sequence as msiexec runs it silently: a new session, each step when its condition holds.
// `manifest`, when given, is the build clearTempCommon deploys (another build's).
inline void runSequence(sim::Machine& machine, const casim::Package& package, const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& starting,
                        std::optional<ca::Manifest> manifest = std::nullopt)
{
    auto& properties = machine.properties();
    properties.clear();
    for (const auto& [property, value] : starting) properties[property] = value;
    for (const auto& [property, value] : casim::sequenceProperties(name)) properties[property] = value;
    machine.controlRows() = package.controlRows;
    const auto property = [&properties](const std::string& n) -> std::optional<std::string> {
        const auto it = properties.find(n);
        return it == properties.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    const auto environment = [&machine](const std::string& n) { return machine.env(n); };
    const casim::ConditionInputs inputs{property, environment, [](char, const std::string&) { return std::optional<int>(); }};
    for (const casim::SequencedAction& step : package.sequences.at(name)) {
        if (!step.condition.holds(inputs)) continue;
        if (step.action == "error") break;  // the package's error stops the installation there
        if (step.action == "clearTempCommon" && manifest) {
            ca::clearTempCommon(ca::Session(machine.session(), "clearTempCommon"), *manifest);
            continue;
        }
        if (step.action != "set") {
            for (const auto& entry : ca::kExportedActions)
                if (step.action == entry.name) entry.entry(machine.session());
            continue;
        }
        const std::string value = casim::formatText(
            step.value, [&](const std::string& n) { return property(n).value_or(""); },
            [&](const std::string& n) { return environment(n).value_or(""); });
        if (value.empty())
            properties.erase(step.property);
        else
            properties[step.property] = value;
    }
}

inline unsigned envNumber(const char* name, unsigned fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : fallback;
}


}  // namespace randomized

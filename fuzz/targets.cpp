#include "targets.h"

#include "core/boundary.h"
#include "identification/release_descriptor.h"
#include "identification/release_identification.h"
#include "platform/sim/machine.h"
#include "registration/registration_file.h"
#include "scenario.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

namespace fuzz {
namespace {

// One scratch folder per process, made on first use and removed at exit; the
// file-based targets each get their own drive C: below it, so that one
// target's files never change what another one sees.
class Scratch {
public:
    static fs::path driveC(const std::string& target)
    {
        static Scratch scratch;
        const fs::path drive = scratch.root_ / target / "c";
        fs::create_directories(drive);
        return drive;
    }

private:
    Scratch()
    {
        std::random_device rd;
        root_ = fs::temp_directory_path() /
                ("ca-fuzz-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
        fs::create_directories(root_);
    }
    ~Scratch()
    {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    fs::path root_;
};

void writeFile(const fs::path& path, std::string_view bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::optional<std::string> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void expect(bool holds, const std::string& what)
{
    if (!holds) throw Finding(what);
}

void expectNoHandles(const sim::Machine& machine)
{
    expect(machine.openHandles() == 0, "a handle was left open");
}

// --- .reg import ------------------------------------------------------------

void regImport(std::string_view input)
{
    sim::Registry registry;
    registry.setString("SOFTWARE\\Before", "Kept", "value");
    const sim::Registry::Flat before = registry.flatten();
    try {
        registry.importText(input, "fuzz.reg");
    } catch (const sim::RegParseError&) {
        expect(registry.flatten() == before, "a refused file changed the registry");
        return;
    }
    // What the simulator exports, it must read back as the same machine.
    const std::string exported = registry.exportText();
    sim::Registry again;
    try {
        again.importText(exported, "exported.reg");
    } catch (const sim::RegParseError& error) {
        throw Finding(std::string("the exported text is refused: ") + error.what());
    }
    expect(again.flatten() == registry.flatten(), "export and import changed the values");
    expect(again.exportText() == exported, "a second export differs from the first");
}

// --- scenario.txt -----------------------------------------------------------

void scenario(std::string_view input)
{
    const std::string text(input);
    casim::Scenario parsed;
    try {
        parsed = casim::parseScenarioText(text, "scenario.txt");
    } catch (const casim::ScenarioError& error) {
        const auto lines = std::count(text.begin(), text.end(), '\n') + 1;
        expect(error.line >= 0 && error.line <= lines, "an error names a line the file does not have");
        return;
    }
    for (const auto* list : {&parsed.properties, &parsed.environment, &parsed.expectations})
        for (const auto& setting : *list) expect(!setting.name.empty(), "an accepted assignment has no name");
    for (const auto& action : parsed.actions)
        expect(!action.name.empty() && action.name.find_first_of(" \t\r\n") == std::string::npos, "a bad action name");
    // What the one writer makes of it reads back as the same scenario.
    const std::string written = casim::scenarioText(parsed);
    try {
        expect(casim::scenarioText(casim::parseScenarioText(written, "written.txt")) == written,
               "the written scenario reads back as another");
    } catch (const casim::ScenarioError& error) {
        throw Finding(std::string("the written scenario is refused: ") + error.what());
    }
}

// --- installation log -------------------------------------------------------

void installLog(std::string_view input)
{
    static const fs::path driveC = Scratch::driveC("fuzz_install_log");
    writeFile(driveC / "host" / "uninstall" / "instlog.txt", input);
    sim::Machine machine(driveC);
    {
    const ca::Session session(machine.session(), "fuzz");
    ca::ReleaseIdentifier identifier(session);

    const ca::ReleaseCode code = identifier.identify("C:\\host");
    expect(code == 0 || (code >= 2 && code <= 9), "release code " + std::to_string(code));
    expect(identifier.identify("C:\\host\\") == code, "a trailing separator changes the release");

    std::string release = "<release>";
    std::string shipcode = "<shipcode>";
    std::string datecode = "<datecode>";
    identifier.readInstallLog("C:\\host", release, shipcode, datecode);
    for (const std::string* value : {&release, &shipcode, &datecode})
        expect(value->find('\n') == std::string::npos, "a value runs over a line end");
    if (input.find("RELEASE") == std::string_view::npos) {
        expect(code == 0, "a release without a RELEASE line");
        expect(release == "<release>", "release text without a RELEASE line");
    }
    }
    expectNoHandles(machine);
}

// --- release descriptor -----------------------------------------------------

// What the action body saw; the boundary swallows exceptions, so the body
// keeps any that escaped for the target to rethrow.
struct DescriptorRun {
    int uiLevel = 0;
    ca::ReleaseCode code = -1;
    bool loaded = false;
    ca::DescriptorValues first;
    ca::DescriptorValues second;
    std::string release;
    std::string shipcode;
    std::string datecode;
    std::exception_ptr escaped;
};
DescriptorRun g_descriptorRun;

unsigned descriptorBody(const ca::Session& session)
{
    DescriptorRun& run = g_descriptorRun;
    try {
        run.uiLevel = session.uiLevel();
        ca::ReleaseIdentifier identifier(session);
        run.code = identifier.identify("C:\\host");
        run.first = identifier.descriptor();
        identifier.readInstallLog("C:\\host", run.release, run.shipcode, run.datecode);
        // Read again from nothing: the same file gives the same values.
        run.loaded = ca::readReleaseDescriptor(session, "C:\\host\\bin\\pim\\xml\\creobase.p.xml", run.second);
    } catch (...) {
        run.escaped = std::current_exception();
    }
    return 1;
}

bool sameValues(const ca::DescriptorValues& a, const ca::DescriptorValues& b)
{
    return a.descriptorVersion == b.descriptorVersion && a.descriptorShipcode == b.descriptorShipcode &&
           a.descriptorDatecode == b.descriptorDatecode;
}

void descriptor(std::string_view input)
{
    static const fs::path driveC = Scratch::driveC("fuzz_descriptor");
    writeFile(driveC / "host" / "bin" / "pim" / "xml" / "creobase.p.xml", input);
    sim::Machine machine(driveC);
    machine.properties()["UILevel"] = "2";  // silent: messages go to the log

    g_descriptorRun = DescriptorRun{};
    const unsigned result = ca::runAction(machine.session(), "fuzz", descriptorBody, 0);
    const DescriptorRun run = std::move(g_descriptorRun);
    g_descriptorRun = DescriptorRun{};
    if (run.escaped) std::rethrow_exception(run.escaped);

    expect(result == 1, "the action boundary reported a failure");
    expect(run.uiLevel == 2, "the UI level was not read");
    expect(run.code == (run.loaded ? 9 : 0), "release code " + std::to_string(run.code));
    expect(sameValues(run.first, run.second), "two reads of one descriptor differ");
    expect(run.release == "2.0 ", "release text without a log");
    expect(run.shipcode == run.first.descriptorShipcode && run.datecode == run.first.descriptorDatecode,
           "the log reader did not take the descriptor's values");
    expect(machine.messageBoxes().empty(), "a message box in a silent installation");
    if (!run.loaded) {
        const auto& log = machine.logMessages();
        expect(std::any_of(log.begin(), log.end(),
                           [](const std::string& line) { return line.find("failed to load XML") != std::string::npos; }),
               "a refused descriptor was not reported");
    }
    expectNoHandles(machine);
}

// --- protk.dat --------------------------------------------------------------

// protk.dat as the host reads it, told apart here without the library's
// reader. A line's kind: "name" in any case, blanks or tabs, a value; "end";
// or empty (nothing but its line end).
std::string_view trimmedLine(std::string_view line)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!line.empty() && blank(line.front())) line.remove_prefix(1);
    while (!line.empty() && blank(line.back())) line.remove_suffix(1);
    return line;
}

std::string lowered(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// What a line holds for the host: it stops reading at a Ctrl-Z.
std::string_view beforeCtrlZ(std::string_view line) { return line.substr(0, line.find('\x1a')); }

std::optional<std::string_view> nameValue(std::string_view line)
{
    line = trimmedLine(beforeCtrlZ(line));  // a line that starts with a Ctrl-Z names nothing
    if (line.size() < 4 || lowered(line.substr(0, 4)) != "name") return std::nullopt;
    if (line.size() == 4) return std::string_view();
    if (line[4] != ' ' && line[4] != '\t' && line[4] != '\r') return std::nullopt;
    return trimmedLine(line.substr(4));
}

bool closesEntry(std::string_view line)
{
    if (line.starts_with('\x1a')) return false;
    line = beforeCtrlZ(line);
    std::string_view bare = line;
    if (bare.ends_with('\n')) bare.remove_suffix(1);
    if (bare.ends_with('\r')) bare.remove_suffix(1);
    return bare.empty() || lowered(trimmedLine(line)) == "end";
}

std::vector<std::string_view> splitLines(std::string_view bytes)
{
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::size_t size = end == std::string_view::npos ? bytes.size() : end + 1;
        lines.push_back(bytes.substr(0, size));
        bytes.remove_prefix(size);
    }
    return lines;
}

// Our name line where an entry starts: not inside another add-in's entry,
// which runs from its name line to its end line or the next empty line.
struct Scan {
    bool ours = false;
    bool insideOther = false;
};
Scan scan(std::string_view bytes)
{
    Scan result;
    for (const std::string_view line : splitLines(bytes)) {
        if (closesEntry(line)) {
            result.insideOther = false;
            continue;
        }
        const auto value = nameValue(line);
        if (!value) continue;
        if (*value == "Orvella" && !result.insideOther) result.ours = true;
        if (*value != "Orvella") result.insideOther = true;
    }
    return result;
}

std::string entryWith(const char* lineEnd)
{
    std::string entry = lineEnd;
    for (const char* line : {"name Orvella", "startup DLL", "delay_start FALSE", "allow_stop  TRUE",
                             "exec_file $PRO_DIRECTORY\\$PRO_MACHINE_TYPE\\obj\\orvbridge.dll",
                             "text_dir $PRO_DIRECTORY", "end"})
        entry += std::string(line) + lineEnd;
    return entry;
}

void protk(std::string_view input)
{
    static const fs::path driveC = [] {
        const fs::path drive = Scratch::driveC("fuzz_protk");
        writeFile(drive / "host" / "x86e_win64" / "obj" / "xtop.exe", "MZ");
        return drive;
    }();
    const fs::path file = driveC / "host" / "text" / "protk.dat";
    writeFile(file, input);
    sim::Machine machine(driveC);
    const ca::Session session(machine.session(), "fuzz");
    ca::addAuxAppEntry(session, "C:\\host");
    const std::string appended = readFile(file).value_or("<missing>");
    ca::removeAuxAppEntry(session, "C:\\host\\");
    const std::optional<std::string> removed = readFile(file);
    expect(!fs::exists(driveC / "host" / "text" / "protk.tmp"), "the temporary file was left behind");
    expectNoHandles(machine);
    expect(removed.has_value(), "removal deleted the file of an installed host");
    // UTF-16 text would get 8-bit lines: the add-in never edits it.
    if (input.starts_with("\xff\xfe") || input.starts_with("\xfe\xff")) {
        expect(appended == input && *removed == input, "a UTF-16 file was edited");
        return;
    }
    expect(!holdsOurEntry(*removed), "a name line survived removal");

    // The host stops reading at a Ctrl-Z: the entry belongs before it.
    const std::size_t at = std::min(input.find('\x1a'), input.size());
    const std::string_view seen = input.substr(0, at);
    if (holdsOurEntry(seen)) {
        expect(appended == input, "appending changed a file that has the entry");
        return;
    }
    const bool lineFeedsOnly = input.find("\r\n") == std::string_view::npos &&
                               input.find('\n') != std::string_view::npos;
    const char* lineEnd = lineFeedsOnly ? "\n" : "\r\n";
    const bool ended = seen.empty() || seen.back() == '\n';
    // Where another add-in's entry is still open, the entry needs an empty line of its own.
    const std::string apart = !ended && scan(std::string(seen) + lineEnd).insideOther ? lineEnd : "";
    expect(appended == std::string(seen) + apart + entryWith(lineEnd) + std::string(input.substr(at)),
           "appending wrote something other than one entry where the host reads it");
    // Every byte comes back, but for the line end that completed a last line.
    if (holdsOurEntry(input)) return;
    expect(*removed == std::string(seen) + (ended ? "" : lineEnd) + std::string(input.substr(at)),
           "removal lost or changed a byte outside the entry");
}

}  // namespace

bool holdsOurEntry(std::string_view protkBytes) { return scan(protkBytes).ours; }

const std::vector<Target>& targets()
{
    static const std::vector<Target> all = {
        {"fuzz_reg_import", regImport}, {"fuzz_scenario", scenario}, {"fuzz_install_log", installLog},
        {"fuzz_descriptor", descriptor}, {"fuzz_protk", protk},
    };
    return all;
}

const Target* findTarget(std::string_view name)
{
    for (const Target& target : targets())
        if (name == target.name) return &target;
    return nullptr;
}

}  // namespace fuzz

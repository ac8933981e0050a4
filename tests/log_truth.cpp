#include "log_truth.h"

#include "model/release_table.h"
#include "platform/sim/machine_internal.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>

namespace logtruth {

std::string escapedText(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '"') {
            out += c;
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", byte);
            out += code;
        }
    }
    return out;
}

std::string shownValue(const std::string& value)
{
    std::string out = "\"" + escapedText(value.substr(0, 160)) + "\"";
    if (value.size() > 160) out += "... (" + std::to_string(value.size()) + " characters)";
    return out;
}

namespace {

namespace fs = std::filesystem;
using Kind = sim::Effect::Kind;

constexpr const char* kProductKey = "HKLM\\Software\\Kestrane\\Orvella";

// A path as Windows compares it: without regard to case, '/' as '\', a run
// of separators as one, no separator at the end.
std::string folded(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '/') c = '\\';
        if (c == '\\' && !out.empty() && out.back() == '\\') continue;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

bool onFiles(Kind kind) { return kind != Kind::keyCreated && kind != Kind::valueSet && kind != Kind::valueDeleted; }

// The effect's path as a line shows it, folded.
std::string shownPath(const sim::Effect& e) { return folded(escapedText(e.path)); }

// A line as the host reads protk.dat: an entry's name line (ours or
// another's), its end, an empty line, or anything else.
enum class Line { ours, name, end, empty, other };
Line kindOf(std::string line)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    // One line end, LF or CR LF: a CR more is text.
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) return Line::empty;
    while (!line.empty() && blank(line.back())) line.pop_back();
    std::size_t at = 0;
    while (at < line.size() && blank(line[at])) ++at;
    std::string word = line.substr(at);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == "end") return Line::end;
    if (word.rfind("name", 0) != 0 || (word.size() > 4 && !blank(word[4]))) return Line::other;
    std::size_t value = at + 4;
    while (value < line.size() && blank(line[value])) ++value;
    if (word.size() == 4) return Line::name;
    return line.substr(value) == "Orvella" ? Line::ours : Line::name;
}

}  // namespace

struct Logged {
    std::size_t index;  // in the machine's log
    std::string text;   // after "<action>: "
};

struct ActionSeen {
    std::string name;
    std::size_t firstEffect = 0;
    std::size_t firstPropertyChange = 0;
    std::size_t openedTargets = 0;
    std::vector<sim::ControlRow> controlRows;
    // As the action's last line found them: what the installer does between
    // actions (a new session's rows) is no action's.
    std::vector<sim::ControlRow> rowsAtLastLine;
    std::size_t openedAtLastLine = 0;
    std::vector<Logged> lines;
};

struct Checker::State {
    sim::Machine& machine;
    std::optional<ActionSeen> action;
    std::vector<std::string> problems;
    int actions = 0;
    int claimLines = 0;
    int effects = 0;

    explicit State(sim::Machine& m) : machine(m) {}
    void lineLogged(const std::string& line);
    void endAction();
    void problem(const Logged* line, const std::string& why)
    {
        problems.push_back(action->name + (line ? ": \"" + line->text + "\"" : std::string()) + ": " + why);
    }
};

// What one line claims, as its row checks it.
class Claim {
public:
    Claim(Checker::State& state, const Logged& line, std::vector<bool>* taken, std::size_t previousLine)
        : state_(state), line_(line), taken_(taken), previousLine_(previousLine)
    {
    }
    sim::Machine& machine() const { return state_.machine; }
    void problem(const std::string& why) const { state_.problem(&line_, why); }

    // The action's changes made before this line (since the previous line
    // with `recent`), not claimed yet, for which `wanted` holds: now claimed.
    std::vector<const sim::Effect*> take(const std::function<bool(const sim::Effect&)>& wanted, bool recent = false)
    {
        std::vector<const sim::Effect*> out;
        const auto& all = machine().effects();
        for (std::size_t i = state_.action->firstEffect; i < all.size(); ++i) {
            const sim::Effect& e = all[i];
            if (e.logLines > line_.index) break;
            if ((*taken_)[i - state_.action->firstEffect] || (recent && e.logLines <= previousLine_) || !wanted(e))
                continue;
            (*taken_)[i - state_.action->firstEffect] = true;
            out.push_back(&e);
        }
        return out;
    }
    // Some change before this line, claimed or not, of which `wanted` holds.
    bool happened(const std::function<bool(const sim::Effect&)>& wanted) const
    {
        const auto& all = machine().effects();
        for (std::size_t i = state_.action->firstEffect; i < all.size() && all[i].logLines <= line_.index; ++i)
            if (wanted(all[i])) return true;
        return false;
    }
    // Effects on a file, as the line shows its path, or on its temporaries.
    std::vector<const sim::Effect*> takeOnFile(const std::string& shown, bool withTemporaries)
    {
        const std::string file = folded(shown);
        const std::string folder = file.substr(0, file.rfind('\\') + 1);
        return take([&](const sim::Effect& e) {
            if (!onFiles(e.kind)) return false;
            const std::string path = shownPath(e);
            return path == file || (withTemporaries && path.rfind(folder + "protk.t", 0) == 0);
        });
    }
    // Nothing happened to the file since the previous line.
    void untouchedSinceLastLine(const std::string& shown)
    {
        if (!take([&](const sim::Effect& e) { return onFiles(e.kind) && shownPath(e) == folded(shown); }, true).empty())
            problem("the line says the file was left alone, and it was changed");
    }

    // The action set `name` to a value shown as `shown` (nullopt: removed),
    // or a line says that setting it failed.
    void propertySet(const std::string& name, const std::optional<std::string>& shown) const
    {
        propertySetSo(name, shown ? " to " + *shown : std::string(" to nothing"),
                      [&](const std::optional<std::string>& after) {
                          return !shown ? !after : after && shownValue(*after) == *shown;
                      });
    }
    void propertySetSo(const std::string& name, const std::string& how,
                       const std::function<bool(const std::optional<std::string>&)>& wanted) const
    {
        const auto& changes = machine().internal().propertyChanges;
        for (std::size_t i = state_.action->firstPropertyChange; i < changes.size(); ++i)
            if (changes[i].name == name && wanted(changes[i].after)) return;
        if (!saysFailed("set property " + name + " to ")) problem("the action did not set " + name + how);
    }
    // A line of the action says that a call of this kind failed.
    bool saysFailed(const std::string& call) const
    {
        return std::any_of(state_.action->lines.begin(), state_.action->lines.end(), [&](const Logged& l) {
            return l.text.rfind(call, 0) == 0 && l.text.find(" failed: ") != std::string::npos;
        });
    }
    std::optional<std::string> property(const std::string& name) const
    {
        const auto it = machine().properties().find(name);
        return it == machine().properties().end() ? std::nullopt : std::optional<std::string>(it->second);
    }

    std::optional<fs::path> onHost(const std::string& windowsPath) const { return machine().hostPath(windowsPath); }
    // The bytes of a file the line names (unescaped: such paths are printable).
    std::optional<std::string> fileBytes(const std::string& path) const
    {
        const auto p = onHost(path);
        std::error_code ec;
        if (!p || !fs::is_regular_file(*p, ec)) return std::nullopt;
        std::ifstream in(*p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The file holds an entry of ours as the host reads it: a name line of
    // ours that no other entry, open since its own name line, holds.
    bool holdsOurEntry(const std::string& path) const
    {
        const auto bytes = fileBytes(path);
        if (!bytes) return false;
        // The host stops reading at a Ctrl-Z.
        const std::string text = bytes->substr(0, bytes->find('\x1a'));
        bool insideAnother = false;
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            switch (kindOf(text.substr(start, end - start))) {
                case Line::ours:
                    if (!insideAnother) return true;
                    break;
                case Line::name:
                    insideAnother = true;
                    break;
                case Line::end:
                case Line::empty:
                    insideAnother = false;
                    break;
                case Line::other:
                    break;
            }
            start = end + 1;
        }
        return false;
    }

    const Logged& line() const { return line_; }
    const ActionSeen& action() const { return *state_.action; }

private:
    Checker::State& state_;
    const Logged& line_;
    std::vector<bool>* taken_;
    std::size_t previousLine_;
};

namespace {

using Match = std::smatch;
using Check = std::function<void(const Match&, Claim&)>;

// The counted line of a walk: the folder it changes is `scope`.
struct Walk {
    int scope;             // the pattern's group that holds the folder
    bool backups = false;  // it also works in the product's backup folders
};

struct Row {
    std::string_view marker;  // every line of the row holds it
    std::regex pattern;       // the whole text after "<action>: "
    Check whenLogged;         // a state the line claims, checked as it is logged
    Check atEnd;              // changes and properties, checked when the action ends
    std::optional<Walk> walk;
};

// What a walk's counted line counts, and the change of the machine each
// count is made of.
struct Counted {
    const char* words;  // "files copied"
    Kind kind;
};
const Counted kCounted[] = {
    {"copied", Kind::fileCopied},
    {"created", Kind::folderCreated},
    {"deleted", Kind::fileDeleted},
    {"removed", Kind::folderRemoved},
    {"replaced at the next restart", Kind::replacedAtRestart},
    {"deleted at the next restart", Kind::deletedAtRestart},
    {"removed at the next restart", Kind::removedAtRestart},
};
using Counts = std::map<Kind, int>;

// "3 files copied, 1 folder created, 2 failures (the first 10 logged)".
std::optional<Counts> parseCounts(const std::string& text)
{
    Counts counts;
    if (text == "nothing to do") return counts;
    static const std::regex item(
        R"~((\d+) (?:files?|folders?) (.+)|\d+ paths? longer than 259 characters passed over|\d+ failures?( \(the first \d+ logged\))?)~");
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find(", ", at), text.size());
        std::smatch m;
        const std::string piece = text.substr(at, end - at);
        if (!std::regex_match(piece, m, item)) return std::nullopt;
        at = end + 2;
        if (!m[1].matched) continue;
        const auto counted =
            std::find_if(std::begin(kCounted), std::end(kCounted), [&](const Counted& c) { return m[2] == c.words; });
        if (counted == std::end(kCounted)) return std::nullopt;
        counts[counted->kind] = std::stoi(m[1]);
    }
    return counts;
}

// A new file waits beside the one in use that it replaces at the next restart.
bool isWaitingCopy(const std::string& path)
{
    static const std::regex waiting(R"~(.*\.~new\d+$)~");
    return std::regex_match(path, waiting);
}

const std::string kCounts = R"~((nothing to do|\d+ (?:files? |folders? |paths? longer|failures?).*))~";

Check nothing() { return {}; }

// A property the line claims to set to the value shown in group `group` (0: removed).
Check sets(std::string name, int group)
{
    return [name, group](const Match& m, Claim& c) {
        c.propertySet(name, group == 0 ? std::nullopt : std::optional<std::string>(m[group].str()));
    };
}
Check setsTo(std::string name, std::string value)
{
    return [name, value](const Match&, Claim& c) { c.propertySet(name, shownValue(value)); };
}
Check both(Check a, Check b)
{
    return [a, b](const Match& m, Claim& c) {
        a(m, c);
        b(m, c);
    };
}

// The protk.dat of every folder the line names (NAME="value", ...) can be
// opened for appending: its path fits and its text folder is there. With
// `chosen`, the line names every chosen folder.
Check canBeWritten(std::function<std::set<std::string>(Claim&)> chosen)
{
    return [chosen](const Match& m, Claim& c) {
        static const std::regex pair(R"~(([A-Z0-9_]+)=")~");
        std::set<std::string> named;
        const std::string list = m[1];
        for (auto it = std::sregex_iterator(list.begin(), list.end(), pair); it != std::sregex_iterator(); ++it)
            named.insert((*it)[1]);
        for (const std::string& name : named) {
            std::string folder = c.property(name).value_or("");
            while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
            const std::string file = folder + "\\text\\protk.dat";
            const auto text = c.onHost(folder + "\\text");
            std::error_code ec;
            if (folder.empty() || file.size() > 259 || !text || !fs::is_directory(*text, ec) ||
                fs::is_directory(*c.onHost(file), ec))
                c.problem("the protk.dat of " + name + " cannot be written");
        }
        if (chosen && named != chosen(c)) c.problem("the line does not name every chosen folder, or names others");
    };
}

std::set<std::string> chosenReleaseFolders(Claim& c)
{
    std::set<std::string> out;
    // A folder whose properties could not be read was not checked, and the log says so.
    const auto unread = [&](const std::string& name) { return c.saysFailed("read property " + name); };
    for (const ca::ReleaseSlot& slot : ca::kReleaseSlots)
        if (c.property(slot.name) == "1" && !c.property(slot.folderProperty).value_or("").empty() &&
            !unread(slot.name) && !unread(slot.folderProperty))
            out.insert(slot.folderProperty);
    if (!c.property(ca::kBrowsedFolderProperty).value_or("").empty() && !unread(ca::kBrowsedFolderProperty))
        out.insert(ca::kBrowsedFolderProperty);
    return out;
}

std::set<std::string> chosenListedFolders(Claim& c)
{
    std::set<std::string> out;
    const auto unread = [&](const std::string& name) { return c.saysFailed("read property " + name); };
    for (const ca::CustomSlotNames& slot : ca::kCustomSlots)
        if (c.property(slot.checkProperty) == "1" && !c.property(slot.dirProperty).value_or("").empty() &&
            !unread(slot.checkProperty) && !unread(slot.dirProperty))
            out.insert(slot.dirProperty);
    return out;
}

// A record under the product key, written (with its key made if it was not
// there); the line names it plainly or, `quoted`, as a value is shown.
Check recordWritten(int nameGroup, bool quoted, std::string prefix = "")
{
    return [nameGroup, quoted, prefix](const Match& m, Claim& c) {
        const std::string name = prefix + m[nameGroup].str();
        c.take(
            [](const sim::Effect& e) { return e.kind == Kind::keyCreated && folded(e.path) == folded(kProductKey); });
        if (c.take([&](const sim::Effect& e) {
                 return e.kind == Kind::valueSet && folded(e.path) == folded(kProductKey) &&
                        (quoted ? shownValue(e.detail) == name : folded(escapedText(e.detail)) == folded(name));
             }).empty())
            c.problem("the record was not written");
    };
}

// A value under the product key deleted, named `prefix` + the line's group.
Check recordDeleted(int nameGroup, std::string prefix)
{
    return [nameGroup, prefix](const Match& m, Claim& c) {
        if (c.take([&](const sim::Effect& e) {
                 return e.kind == Kind::valueDeleted && folded(e.path) == folded(kProductKey) &&
                        folded(escapedText(e.detail)) == folded(prefix + m[nameGroup].str());
             }).empty())
            c.problem("the record was not deleted");
    };
}

Check protkChanged(bool entryExpected)
{
    return [entryExpected](const Match& m, Claim& c) {
        const auto taken = c.takeOnFile(m[1], true);
        const std::string file = folded(m[1]);
        if (std::none_of(taken.begin(), taken.end(), [&](const sim::Effect* e) {
                return shownPath(*e) == file && (e->kind == Kind::fileWritten || e->kind == Kind::fileMoved);
            }))
            c.problem(entryExpected ? "protk.dat was not written" : "protk.dat was not replaced");
    };
}

Check holdsEntry(bool expected)
{
    return [expected](const Match& m, Claim& c) {
        if (c.holdsOurEntry(m[1]) != expected)
            c.problem(expected ? "the file holds no Orvella entry" : "the file still holds an Orvella entry");
    };
}

const std::vector<Row>& rows()
{
    static const std::vector<Row> table = [] {
        std::vector<Row> r;
        const auto add = [&r](std::string_view marker, const char* pattern, Check whenLogged, Check atEnd,
                              std::optional<Walk> walk = std::nullopt) {
            r.push_back({marker, std::regex(pattern), std::move(whenLogged), std::move(atEnd), walk});
        };
        // The counted lines of the folder walks.
        add(" from ", (R"~(^deployment into (.+) from (.+) with (.+): )~" + kCounts + "$").c_str(), nothing(),
            nothing(), Walk{1});
        add("copy into ", (R"~(^copy into (.+) from (.+): )~" + kCounts + "$").c_str(), nothing(), nothing(), Walk{1});
        add("runtime ", (R"~(^runtime (\S+) into (.+): )~" + kCounts + "$").c_str(), nothing(), nothing(), Walk{2});
        add("removal of the add-in from ", (R"~(^removal of the add-in from (.+?): )~" + kCounts + "$").c_str(),
            nothing(), nothing(), Walk{1, true});
        add("backup of the host's files in ",
            (R"~(^backup of the host's files in (.+) into (.+): )~" + kCounts + "$").c_str(), nothing(), nothing(),
            Walk{2, true});
        add("copy of the module from ", (R"~(^copy of the module from (.+) into (.+): )~" + kCounts + "$").c_str(),
            nothing(), nothing(), Walk{2});
        add("emptying ", (R"~(^emptying (.+): )~" + kCounts + "$").c_str(), nothing(), nothing(), Walk{1});
        add("clearing of the staging area ", (R"~(^clearing of the staging area (.+): )~" + kCounts + "$").c_str(),
            nothing(), nothing(), Walk{1});

        // The product key's records.
        add("record ", R"~(^record ([^ "]+)=(".*) written$)~", nothing(), recordWritten(1, false));
        add("record \"",
            R"~(^record (".*?"(?:\.\.\. \(\d+ characters\))?) written: (.+) held (\d+) of the add-in's places before$)~",
            nothing(), recordWritten(1, true));
        add("record ", R"~(^record (\S+) deleted$)~", nothing(), recordDeleted(1, ""));
        add("value ", R"~(^value (.+) deleted$)~", nothing(), recordDeleted(1, ""));
        add("value Footprints written",
            R"~(^value (Footprints) written: removal follows the hosts' footprints from now on$)~", nothing(),
            recordWritten(1, false));
        // A host's footprint: what the add-in wrote there, and what it replaced.
        add("footprint of ", R"~(^footprint of (.+) recorded: \d+ places?$)~", nothing(),
            recordWritten(1, false, "Footprint "));
        add("footprint of ", R"~(^footprint of (.+) forgotten: the add-in left nothing there$)~", nothing(),
            recordDeleted(1, "Footprint "));

        // protk.dat.
        add(": Orvella entry added (",
            R"~(^(.+\\protk\.dat): Orvella entry added \(.+\)(?: before the Ctrl-Z at byte \d+, where the host stops reading)?$)~",
            holdsEntry(true), protkChanged(true));
        // An entry that the host had before the add-in came stays: the file may still hold one.
        add(" Orvella entr", R"~(^(.+\\protk\.dat): \d+ Orvella entr(?:y|ies) removed$)~", nothing(),
            protkChanged(false));
        add(" deleted: it held nothing of anyone else's",
            R"~(^(.+\\protk\.dat) deleted: it held nothing of anyone else's, and .+$)~", nothing(),
            [](const Match& m, Claim& c) {
                if (c.take([&](const sim::Effect& e) {
                         return e.kind == Kind::fileDeleted && shownPath(e) == folded(m[1]);
                     }).empty())
                    c.problem("the file was not deleted");
            });
        add(" holds the Orvella entry already: left alone", R"~(^(.+) holds the Orvella entry already: left alone$)~",
            holdsEntry(true), [](const Match& m, Claim& c) { c.untouchedSinceLastLine(m[1]); });
        add(" holds no Orvella entry: left alone", R"~(^(.+) holds no Orvella entry: left alone$)~", holdsEntry(false),
            [](const Match& m, Claim& c) { c.untouchedSinceLastLine(m[1]); });
        add(" is a link: left alone", R"~(^(.+) is a link: left alone, another name is taken$)~", nothing(),
            [](const Match& m, Claim& c) { c.untouchedSinceLastLine(m[1]); });

        // Properties.
        add("PROTK_WRITE set to NO, TEMPPROEDIR to ",
            R"~(^PROTK_WRITE set to NO, TEMPPROEDIR to (".*?(?:"|characters\))) \(\w+\): .+$)~", nothing(),
            both(setsTo("PROTK_WRITE", "NO"), sets("TEMPPROEDIR", 1)));
        add("PROTK_WRITE set to NO: ", R"~(^PROTK_WRITE set to NO: .+$)~", nothing(), setsTo("PROTK_WRITE", "NO"));
        add("check box ", R"~(^check box (PROE_VER_\d) set: (".*") for (.+)$)~", nothing(),
            [](const Match& m, Claim& c) {
                c.propertySet(m[1], shownValue("1"));
                for (const ca::CustomSlotNames& slot : ca::kCustomSlots)
                    if (m[1] == slot.checkProperty) {
                        c.propertySet(slot.labelProperty, m[2].str());
                        const std::string folder = m[3];
                        c.propertySetSo(slot.dirProperty, " to " + folder,
                                        [&](const std::optional<std::string>& after) {
                                            return after && escapedText(*after) == folder;
                                        });
                    }
            });
        add(" set: ", R"~(^([A-Z0-9]+) set: (.+) in (.+), (.+)$)~", nothing(), [](const Match& m, Claim& c) {
            c.propertySet(m[1], shownValue("1"));
            for (const ca::ReleaseSlot& slot : ca::kReleaseSlots)
                if (m[1] == slot.name) {
                    c.propertySetSo(
                        slot.folderProperty, " to " + m[3].str(),
                        [&](const std::optional<std::string>& after) { return after && escapedText(*after) == m[3]; });
                    c.propertySetSo(
                        slot.datecodeProperty, " to " + m[4].str(),
                        [&](const std::optional<std::string>& after) { return after && escapedText(*after) == m[4]; });
                }
        });
        add("PROEDUMPDEPENDANCIES set to ", R"~(^PROEDUMPDEPENDANCIES set to ([01]): .+$)~", nothing(),
            [](const Match& m, Claim& c) { c.propertySet("PROEDUMPDEPENDANCIES", shownValue(m[1])); });
        add("DUPLICATEDIR set to 1", R"~(^DUPLICATEDIR set to 1: .+$)~", nothing(), setsTo("DUPLICATEDIR", "1"));
        add("INVALIDSEL set to 1", R"~(^INVALIDSEL set to 1, PROEM1DIR removed: .+$)~", nothing(),
            both(setsTo("INVALIDSEL", "1"), sets("PROEM1DIR", 0)));
        add("PROEM1DIR removed: ", R"~(^PROEM1DIR removed: .+$)~", nothing(), sets("PROEM1DIR", 0));
        add("the browsed slot takes ", R"~(^the browsed slot takes (.+): PROEM1=1, PROEM1VER=(\d+)$)~", nothing(),
            [](const Match& m, Claim& c) {
                c.propertySet("PROEM1", shownValue("1"));
                c.propertySet("PROEM1VER", shownValue(m[2]));
            });
        add("it becomes the browsed slot's folder",
            R"~(^it becomes the browsed slot's folder \(PROEM1DIR\), release code (\d+)$)~", nothing(),
            [](const Match& m, Claim& c) { c.propertySet("PROEVER", shownValue(m[1])); });
        add(" accepted: ", R"~(^browsed folder (.+) accepted: .+$)~", nothing(), setsTo("ISBROWSEPATHVALID", "1"));
        // Files in use: what waits for the next restart (the walk's counted
        // line counts it too).
        const auto leftForRestart = [](Kind kind, int group, const char* what) {
            return [kind, group, what](const Match& m, Claim& c) {
                if (!c.happened(
                        [&](const sim::Effect& e) { return e.kind == kind && shownPath(e) == folded(m[group]); }))
                    c.problem(std::string("nothing was left for the next restart to ") + what);
            };
        };
        add(
            " and replaces it at the next restart",
            R"~(^(.+) is in use(?: \(host .+\))?: error \d+ \(.*\); the new file waits as (.+) and replaces it at the next restart$)~",
            [](const Match& m, Claim& c) {
                if (!c.fileBytes(m[2])) c.problem("the new file does not wait there");
            },
            leftForRestart(Kind::replacedAtRestart, 1, "replace"));
        add("; deleted at the next restart",
            R"~(^(.+) is in use(?: \(host .+\))?: error \d+ \(.*\); deleted at the next restart$)~", nothing(),
            leftForRestart(Kind::deletedAtRestart, 1, "delete"));
        // A file that a waiting operation names: deleted now if it can be, and
        // again after that operation, so that what it puts there goes too.
        add("has an operation waiting for the next restart already",
            R"~(^(.+) has an operation waiting for the next restart already(?: \(host .+\))?; deleted at the next restart, after that one$)~",
            nothing(), [](const Match& m, Claim& c) {
                c.take([&](const sim::Effect& e) { return e.kind == Kind::fileDeleted && shownPath(e) == folded(m[1]); });
                if (!c.happened([&](const sim::Effect& e) {
                        return e.kind == Kind::deletedAtRestart && shownPath(e) == folded(m[1]);
                    }))
                    c.problem("nothing was left for the next restart to delete");
            });
        add("it holds only files deleted at the next restart",
            R"~(^remove folder (.+): it holds only files deleted at the next restart, and goes after them$)~",
            nothing(), leftForRestart(Kind::removedAtRestart, 1, "remove"));
        add("ORVELLA_RESTART set to ",
            R"~(^ORVELLA_RESTART set to (".*"(?:\.\.\. \(\d+ characters\))?): the installation asks for a restart$)~",
            nothing(), sets("ORVELLA_RESTART", 1));
        add("FILESINUSE set to ", R"~(^FILESINUSE set to (".*"(?:\.\.\. \(\d+ characters\))?)$)~", nothing(),
            [](const Match& m, Claim& c) {
                c.propertySetSo("FILESINUSE", " to " + m[1].str(), [&](const std::optional<std::string>& after) {
                    return shownValue(after.value_or("")) == m[1];
                });
            });

        // A host left unfinished, told to the package.
        add("_ERROR set: ", R"~(^(ORVELLA_(?:INSTALL|REMOVE)_ERROR) set: (.+)$)~", nothing(),
            [](const Match& m, Claim& c) {
                c.propertySetSo(m[1], " to " + m[2].str(), [&](const std::optional<std::string>& after) {
                    return after && escapedText(*after) == m[2];
                });
            });
        add("_ERROR keeps its first failure; this one too: ",
            R"~(^(ORVELLA_(?:INSTALL|REMOVE)_ERROR) keeps its first failure; this one too: .+$)~", nothing(),
            [](const Match& m, Claim& c) {
                c.propertySetSo(m[1], " to count one more", [](const std::optional<std::string>& after) {
                    return after && after->find(" more: see the installer log)") != std::string::npos;
                });
            });
        add("opening ", R"~(^opening (".*")$)~", nothing(), [](const Match& m, Claim& c) {
            const auto& opened = c.machine().openedTargets();
            if (std::none_of(opened.begin() + static_cast<long>(c.action().openedTargets), opened.end(),
                             [&](const std::string& t) { return shownValue(t) == m[1]; }))
                c.problem("nothing was opened");
        });

        // Checks.
        add("can be written", R"~(^every chosen folder's protk\.dat can be written: (.+)$)~",
            canBeWritten(chosenReleaseFolders), nothing());
        add("can be written", R"~(^every chosen listed installation's protk\.dat can be written: (.+)$)~",
            canBeWritten(chosenListedFolders), nothing());
        return r;
    }();
    return table;
}

// Lines that say what was not done, or tell a verdict without claiming a
// change; they use the words of a claim, so they are listed.
const std::vector<std::regex>& claimFree()
{
    static const std::vector<std::regex> lines = [] {
        std::vector<std::regex> r;
        for (const char* p :
             {R"~(^no .*)~", R"~(.*: no (?:module|resources|check box|tooltip|private runtime|folder|record).*)~",
              R"~(.*: nothing (?:to |goes |added|was ).*)~", R"~(^nothing written into .*)~",
              R"~(.* not (?:registered|unregistered|copied|listed|written)\b.*)~",
              R"~(.* holds \d+ characters, more than \d+.*)~", R"~(.* is not there: nothing to unregister$)~",
              R"~(^(?:Load XML file|Error message): .*)~", R"~(^Entering .*)~", R"~(.* left as it is.*)~",
              R"~(.* not found: .*)~", R"~(.* in use: replaced or deleted only at the next restart$)~"})
            r.emplace_back(p);
        return r;
    }();
    return lines;
}

// Words with which a line claims that something was done.
bool soundsLikeClaim(const std::string& text)
{
    static const char* const kWords[] = {" written",  " deleted", " copied",  " removed",   " registered", " created",
                                         " added",    " set",     " staged",  " scheduled", " restored",   " backed up",
                                         " replaced", " emptied", " cleared", "opening ",   " moved", " recorded", " forgotten"};
    return std::any_of(std::begin(kWords), std::end(kWords),
                       [&](const char* w) { return text.find(w) != std::string::npos; });
}

// A walk's counted line counts exactly what the machine saw below its folder.
void checkWalk(Claim& claim, const std::string& scope, bool backups, const std::string& countsText)
{
    // ALLUSERSPROFILE\Kestrane\Orvella\Backup\<16 hex digits>, the folders on the way, and what is in it.
    static const std::regex backupArea(R"~(.*\\kestrane(\\orvella(\\backup(\\[0-9a-f]{16}(\\.*)?)?)?)?)~");
    const auto below = [&](const sim::Effect& e) {
        const std::string path = shownPath(e);
        return path == scope || path.rfind(scope + "\\", 0) == 0 || (backups && std::regex_match(path, backupArea));
    };
    const auto counts = parseCounts(countsText);
    std::string seen;
    bool same = counts.has_value();
    for (const Counted& c : kCounted) {
        const int n = static_cast<int>(claim
                                           .take([&](const sim::Effect& e) {
                                               return e.kind == c.kind && below(e) &&
                                                      (c.kind != Kind::fileCopied || !isWaitingCopy(e.path));
                                           })
                                           .size());
        same = same && (counts->count(c.kind) ? counts->at(c.kind) == n : n == 0);
        if (n > 0) seen += (seen.empty() ? "" : ", ") + std::to_string(n) + " " + c.words;
    }
    // The copies that wait for a restart are told by the replacements they make.
    if (counts && counts->count(Kind::replacedAtRestart))
        claim.take(
            [&](const sim::Effect& e) { return e.kind == Kind::fileCopied && below(e) && isWaitingCopy(e.path); });
    if (!same) claim.problem("the machine saw " + (seen.empty() ? std::string("nothing") : seen) + " there");
}

bool isFailure(const std::string& text) { return text.find(" failed: error ") != std::string::npos; }

// A file made and deleted again within the action (a temporary file whose
// edit failed, a new file that could not be left to wait for the restart) is
// no change: it, and what was written to it, are told. A waiting copy never
// goes over a file that is there.
void cancelUndone(const std::vector<sim::Effect>& all, std::size_t first, std::vector<bool>& taken)
{
    for (std::size_t i = 0; i < taken.size(); ++i) {
        if (all[first + i].kind != Kind::fileDeleted) continue;
        const std::string path = shownPath(all[first + i]);
        std::vector<std::size_t> written;
        for (std::size_t j = i; j-- > 0;) {
            const sim::Effect& e = all[first + j];
            if (!onFiles(e.kind) || shownPath(e) != path) continue;
            if (e.kind == Kind::fileWritten) {
                written.push_back(j);
                continue;
            }
            if (e.kind == Kind::fileCreated || (e.kind == Kind::fileCopied && isWaitingCopy(e.path))) {
                taken[i] = taken[j] = true;
                for (const std::size_t k : written) taken[k] = true;
            }
            break;
        }
    }
}

}  // namespace

void Checker::State::lineLogged(const std::string& line)
{
    const std::size_t index = machine.logMessages().size() - 1;
    const std::size_t colon = line.find(": ");
    const std::string name = colon == std::string::npos ? std::string() : line.substr(0, colon);
    const std::string text = colon == std::string::npos ? line : line.substr(colon + 2);
    if (text.rfind("Entering " + name + " in CustomActions.dll", 0) == 0) {
        endAction();
        ActionSeen seen;
        seen.name = name;
        seen.firstEffect = machine.effects().size();
        seen.firstPropertyChange = machine.internal().propertyChanges.size();
        seen.openedTargets = machine.openedTargets().size();
        seen.controlRows = machine.controlRows();
        seen.rowsAtLastLine = seen.controlRows;
        seen.openedAtLastLine = seen.openedTargets;
        action = std::move(seen);
        return;
    }
    if (!action || name != action->name) return;
    action->lines.push_back({index, text});
    if (machine.controlRows() != action->rowsAtLastLine) action->rowsAtLastLine = machine.controlRows();
    action->openedAtLastLine = machine.openedTargets().size();
    const Logged& logged = action->lines.back();
    for (const Row& row : rows()) {
        if (logged.text.find(row.marker) == std::string::npos) continue;
        std::smatch m;
        if (!std::regex_match(logged.text, m, row.pattern)) continue;
        if (row.whenLogged) {
            std::vector<bool> none;
            Claim claim(*this, logged, &none, 0);
            row.whenLogged(m, claim);
        }
        return;
    }
}

void Checker::State::endAction()
{
    if (!action) return;
    ++actions;
    const auto& all = machine.effects();
    std::vector<bool> taken(all.size() - action->firstEffect, false);
    effects += static_cast<int>(taken.size());
    std::size_t previous = 0;
    std::set<std::string> checkBoxes;
    cancelUndone(all, action->firstEffect, taken);
    for (const Logged& line : action->lines) {
        Claim claim(*this, line, &taken, previous);
        previous = line.index;
        if (isFailure(line.text)) {
            // What a failing call left half done (a file created, a key made) is
            // told by its failure, which names the path.
            const std::string said = folded(line.text.substr(0, line.text.find(" failed: error "))) + " ";
            claim.take(
                [&](const sim::Effect& e) {
                    return (e.kind == Kind::fileCreated || e.kind == Kind::fileWritten || e.kind == Kind::keyCreated) &&
                           said.find(shownPath(e) + " ") != std::string::npos;
                },
                true);
            const std::size_t box = line.text.find("check box PROE_VER_");
            if (box != std::string::npos) checkBoxes.insert(line.text.substr(box + 10, 10));
            continue;
        }
        bool matched = false;
        for (const Row& row : rows()) {
            if (line.text.find(row.marker) == std::string::npos) continue;
            std::smatch m;
            if (!std::regex_match(line.text, m, row.pattern)) continue;
            matched = true;
            ++claimLines;
            if (row.atEnd) row.atEnd(m, claim);
            if (line.text.rfind("check box ", 0) == 0) checkBoxes.insert(m[1]);
            if (row.walk) checkWalk(claim, folded(m[row.walk->scope]), row.walk->backups, m[m.size() - 1]);
            break;
        }
        if (matched || !soundsLikeClaim(line.text)) continue;
        if (std::none_of(claimFree().begin(), claimFree().end(),
                         [&](const std::regex& r) { return std::regex_match(line.text, r); }))
            claim.problem("a line that claims an effect matches no row of the log-truth table: add one");
    }
    for (std::size_t i = 0; i < taken.size(); ++i)
        if (!taken[i]) {
            const sim::Effect& e = all[action->firstEffect + i];
            problem(nullptr, std::string("no line names a change: ") + sim::effectName(e.kind) + " " + e.path +
                                 (e.detail.empty() ? "" : " (" + e.detail + ")"));
        }
    // The dialog's rows: each one replaced is named by its check box's line or failure.
    for (const sim::ControlRow& row : action->rowsAtLastLine) {
        const bool same = std::any_of(action->controlRows.begin(), action->controlRows.end(),
                                      [&](const sim::ControlRow& r) { return r == row; });
        if (!same && !checkBoxes.count(row.fields[8]))
            problem(nullptr, "no line names the change of Control row " + row.fields[1]);
    }
    const auto& opened = machine.openedTargets();
    for (std::size_t i = action->openedTargets; i < action->openedAtLastLine; ++i)
        if (std::none_of(action->lines.begin(), action->lines.end(),
                         [&](const Logged& l) { return l.text == "opening " + shownValue(opened[i]); }))
            problem(nullptr, "no line names the address opened: " + opened[i]);
    action.reset();
}

Checker::Checker(sim::Machine& machine) : state_(std::make_unique<State>(machine))
{
    machine.logObserver = [state = state_.get()](const std::string& line) { state->lineLogged(line); };
}

Checker::~Checker() { state_->machine.logObserver = nullptr; }

std::vector<std::string> Checker::finish()
{
    state_->endAction();
    return std::exchange(state_->problems, {});
}

int Checker::actions() const { return state_->actions; }
int Checker::claimLines() const { return state_->claimLines; }
int Checker::effects() const { return state_->effects; }

}  // namespace logtruth

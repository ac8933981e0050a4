#include "report.h"

#include "text.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <map>
#include <sstream>

namespace casim {
namespace {

struct Palette {
    bool on;
    std::string bold() const { return on ? "\033[1m" : ""; }
    std::string green() const { return on ? "\033[32m" : ""; }
    std::string red() const { return on ? "\033[31m" : ""; }
    std::string yellow() const { return on ? "\033[33m" : ""; }
    std::string cyan() const { return on ? "\033[36m" : ""; }
    std::string dim() const { return on ? "\033[2m" : ""; }
    std::string reset() const { return on ? "\033[0m" : ""; }
    std::string marker(ChangeKind kind) const
    {
        switch (kind) {
        case ChangeKind::added: return green() + "+ ";
        case ChangeKind::removed: return red() + "- ";
        case ChangeKind::changed: break;
        }
        return yellow() + "~ ";
    }
    std::string heading(const char* title) const { return cyan() + "   " + title + reset() + "\n"; }
};

// Machine text, quoted, as the installer would show it.
std::string quoted(const std::string& ansi)
{
    std::string out = "\"";
    for (char c : utf8FromAnsi(ansi)) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '"')
            out += "\\\"";
        else
            out += c;
    }
    return out + "\"";
}

// Lines with their line ends.
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size() - 1;
        lines.push_back(text.substr(start, nl - start + 1));
        start = nl + 1;
    }
    return lines;
}

std::string ending(const std::string& line)
{
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) return "CR LF";
    if (!line.empty() && line.back() == '\n') return "LF";
    if (!line.empty() && line.back() == '\r') return "CR";
    return "";
}

std::string withoutEnding(std::string line)
{
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// --- unified diffs ----------------------------------------------------------

// Lines that Myers' algorithm compares after the common head and tail are
// set aside; beyond this many, a rewritten file would take minutes.
constexpr std::size_t kMaxDiffLines = 50'000;
constexpr std::size_t kContext = 3;

using Lines = std::vector<std::string>;
using Myers = dtl::Diff<std::string, Lines>;
using Hunk = dtl::uniHunk<std::pair<std::string, dtl::elemInfo>>;

// One hunk as diff -u prints it. A line whose text is on both sides of the
// hunk shows its line end, or a change of line ends alone would show as the
// same line twice.
void printHunk(std::ostream& out, const Hunk& hunk, long long offset)
{
    std::map<std::string, int> sides;
    for (const auto& [line, info] : hunk.change)
        if (info.type != dtl::SES_COMMON) sides[withoutEnding(line)] |= info.type == dtl::SES_DELETE ? 1 : 2;
    // An empty side starts at the line before, as diff -u counts.
    out << "@@ -" << hunk.a + offset - (hunk.b == 0 ? 1 : 0) << "," << hunk.b << " +"
        << hunk.c + offset - (hunk.d == 0 ? 1 : 0) << "," << hunk.d << " @@\n";
    for (const auto* part : {&hunk.common[0], &hunk.change, &hunk.common[1]})
        for (const auto& [line, info] : *part) {
            const char op = info.type == dtl::SES_ADD ? '+' : info.type == dtl::SES_DELETE ? '-' : ' ';
            const std::string end = ending(line);
            out << op << withoutEnding(line);
            if (op != ' ' && sides[withoutEnding(line)] == 3 && !end.empty()) out << "  [" << end << "]";
            out << "\n";
            if (end.empty() || end == "CR") out << "\\ No newline at end of file\n";
        }
}

}  // namespace

bool looksLikeText(const std::string& bytes)
{
    std::size_t control = 0;
    for (unsigned char c : bytes) {
        if (c == 0) return false;
        if (c < 0x20 && c != '\n' && c != '\r' && c != '\t') ++control;
    }
    return control * 100 <= bytes.size();
}

std::string unifiedDiff(const std::string& before, const std::string& after, const std::string& name)
{
    const Lines a = splitLines(before), b = splitLines(after);
    if (a == b) return {};
    std::size_t head = 0, tail = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
    std::ostringstream out;
    out << "--- " << name << " (before)\n+++ " << name << " (after)\n";
    if ((a.size() - head - tail) + (b.size() - head - tail) > kMaxDiffLines) {
        out << "@@ -" << head + 1 << "," << a.size() - head - tail << " +" << head + 1 << ","
            << b.size() - head - tail << " @@\n"
            << "  (" << a.size() - head - tail << " line(s) replaced by " << b.size() - head - tail
            << ": too many to diff line by line)\n";
        return out.str();
    }
    // Only the changed middle and its context go to Myers' algorithm.
    const std::size_t from = head - std::min(head, kContext), keep = std::min(tail, kContext);
    Myers myers(Lines(a.begin() + from, a.end() - (tail - keep)), Lines(b.begin() + from, b.end() - (tail - keep)), true);
    myers.onHuge();
    myers.compose();
    myers.composeUnifiedHunks();
    for (const Hunk& hunk : myers.getUniHunks()) printHunk(out, hunk, static_cast<long long>(from));
    return out.str();
}

std::optional<std::string> textDiff(const FileChange& c)
{
    if (c.folder || kindOf(c) != ChangeKind::changed || !looksLikeText(*c.before) || !looksLikeText(*c.after))
        return std::nullopt;
    return unifiedDiff(*c.before, *c.after, c.path);
}

std::string hexBytes(const std::vector<std::uint8_t>& bytes, const char* separator)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out += separator;
        out += {digits[bytes[i] >> 4], digits[bytes[i] & 15]};
    }
    return out;
}

std::string describeReferences(const std::vector<ConditionReference>& references)
{
    std::string text;
    for (const auto& r : references)
        text += (text.empty() ? "" : ", ") + r.symbol + (r.value ? "=" + quoted(*r.value) : std::string(" unset"));
    return text;
}

namespace {

// A registry value as regedit would write its data.
std::string describeValue(const sim::RegValue& v)
{
    if ((v.type == 1 || v.type == 2) && !v.data.empty() && v.data.back() == 0) {
        const std::string text(v.data.begin(), v.data.end() - 1);
        const auto nul = text.find('\0');
        std::string shown = quoted(text.substr(0, nul));
        if (nul != std::string::npos) shown += " (" + std::to_string(v.data.size()) + " bytes)";
        return shown;
    }
    if (v.type == 4 && v.data.size() == 4) {
        const unsigned n = v.data[0] | v.data[1] << 8 | v.data[2] << 16 | static_cast<unsigned>(v.data[3]) << 24;
        return "dword:" + std::to_string(n);
    }
    return "hex(" + std::to_string(v.type) + "):" + hexBytes(v.data, ",");
}

// "NAME = new", "NAME: old -> new" or "NAME (was old)", each side described by `describe`.
template <class C, class Describe>
std::string beforeAndAfter(const C& c, Describe describe)
{
    switch (kindOf(c)) {
    case ChangeKind::added: return " = " + describe(*c.after);
    case ChangeKind::changed: return ": " + describe(*c.before) + " -> " + describe(*c.after);
    case ChangeKind::removed: break;
    }
    return " (was " + describe(*c.before) + ")";
}

void printProperties(std::ostream& out, const std::vector<PropertyChange>& changes, const Palette& p)
{
    if (!changes.empty()) out << p.heading("properties");
    for (const auto& c : changes) out << "     " << p.marker(kindOf(c)) << c.name << beforeAndAfter(c, quoted) << p.reset() << "\n";
}

// Files and folders as a tree: unchanged folders only as the way to a change.
struct Node {
    std::map<std::string, Node> children;
    const FileChange* change = nullptr;
};

// A Windows path's names, taken apart by characters of the machine's code
// page: the second byte of a character may have the code of a backslash.
std::vector<std::string> components(const std::string& path)
{
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\') {
            if (!parts.back().empty()) parts.emplace_back();
            continue;
        }
        parts.back() += path[i];
        if (codePage().isLeadByte(path[i]) && i + 1 < path.size()) parts.back() += path[++i];
    }
    if (parts.back().empty()) parts.pop_back();
    return parts;
}

std::string sizeNote(const FileChange& c)
{
    if (c.folder) return "";
    if (kindOf(c) == ChangeKind::changed)
        return " (" + std::to_string(c.before->size()) + " -> " + std::to_string(c.after->size()) + " bytes)";
    return " (" + std::to_string((c.before ? c.before : c.after)->size()) + " bytes)";
}

void printTree(std::ostream& out, const Node& node, const std::string& indent, const Palette& p)
{
    std::size_t i = 0;
    for (const auto& [name, child] : node.children) {
        const bool last = ++i == node.children.size();
        // Fold chains of unchanged folders into one line.
        std::string label = name;
        const Node* n = &child;
        while (!n->change && n->children.size() == 1 && !n->children.begin()->second.change &&
               !n->children.begin()->second.children.empty()) {
            label += "\\" + n->children.begin()->first;
            n = &n->children.begin()->second;
        }
        out << indent << (last ? "└─ " : "├─ ");
        if (n->change)
            out << p.marker(kindOf(*n->change)) << utf8FromAnsi(label) << (n->change->folder ? "\\" : "")
                << sizeNote(*n->change) << p.reset() << "\n";
        else
            out << utf8FromAnsi(label) << "\\\n";
        printTree(out, *n, indent + (last ? "   " : "│  "), p);
    }
}

void printFiles(std::ostream& out, const std::vector<FileChange>& changes, const Palette& p)
{
    if (changes.empty()) return;
    out << p.heading("files");
    Node root;
    for (const auto& c : changes) {
        Node* n = &root;
        for (const auto& part : components(c.path)) n = &n->children[part];
        n->change = &c;
    }
    printTree(out, root, "     ", p);
}

void printRegistry(std::ostream& out, const Changes& changes, const Palette& p)
{
    if (!changes.keys.empty() || !changes.values.empty()) out << p.heading("registry");
    for (const auto& c : changes.keys)
        out << "     " << p.marker(c.kind) << utf8FromAnsi(c.key) << " (key)" << p.reset() << "\n";
    for (const auto& c : changes.values)
        out << "     " << p.marker(kindOf(c)) << utf8FromAnsi(c.key) << " : "
            << utf8FromAnsi(c.name.empty() ? "(default)" : c.name) << beforeAndAfter(c, describeValue) << p.reset()
            << "\n";
}

void printControls(std::ostream& out, const std::vector<ControlChange>& changes, const Palette& p)
{
    if (!changes.empty()) out << p.heading("Control rows");
    for (const auto& c : changes) {
        const sim::ControlRow& row = c.after ? *c.after : *c.before;
        out << "     " << p.marker(kindOf(c)) << (row.temporary ? "temporary " : "");
        for (std::size_t i = 0; i < row.fields.size(); ++i) out << (i ? "|" : "") << utf8FromAnsi(row.fields[i]);
        out << p.reset() << "\n";
    }
}

void printDiffs(std::ostream& out, const std::vector<FileChange>& changes, const Palette& p)
{
    for (const auto& c : changes) {
        const auto diff = textDiff(c);
        if (!diff) continue;
        std::istringstream lines(utf8FromAnsi(*diff));
        for (std::string line; std::getline(lines, line);) {
            const bool header = line.rfind("+++", 0) == 0 || line.rfind("---", 0) == 0;
            const std::string colour = header ? p.bold() : line[0] == '+' ? p.green() : line[0] == '-' ? p.red()
                                                       : line[0] == '@' ? p.cyan() : std::string();
            out << "     " << colour << line << p.reset() << "\n";
        }
    }
}

void printNotes(std::ostream& out, const ActionReport& r, const Palette& p)
{
    for (const auto& box : r.messageBoxes)
        out << "   ! message box " << quoted(box.caption) << ": " << utf8FromAnsi(box.text) << " (style " << box.style
            << ")\n";
    for (const auto& line : r.logMessages) out << "   ! installer log: " << utf8FromAnsi(line) << "\n";
    for (const auto& target : r.openedTargets) out << "   ! shell opens " << quoted(target) << "\n";
    if (r.leakedHandles) out << p.red() << "   ! " << r.leakedHandles << " handle(s) left open" << p.reset() << "\n";
    if (r.restartRequested) out << "   ! asks the installer for a restart at the end (msiexec exits 3010)\n";
}

// "== session: action -> result  (condition)"; false when the step was skipped.
bool printHeading(std::ostream& out, const ActionReport& r, const Palette& p)
{
    const std::string condition = utf8FromAnsi(r.condition);
    if (r.action == "restart") {
        out << p.bold() << "== restart: held files let go, pending file operations carried out" << p.reset() << "\n";
        return true;
    }
    if (r.action == "change") {
        out << p.bold() << "== change: the host changes, the files of " << r.folder << "/ copied over drive C:"
            << p.reset() << "\n";
        return true;
    }
    out << p.bold() << "== " << (r.session == "run" ? "" : r.session + ": ") << r.action;
    if (r.action == "set") out << " " << r.property << "=" << utf8FromAnsi(r.value);
    if (r.action == "error") out << " " << r.error;
    if (r.skipped) {
        out << p.reset() << p.dim() << "  skipped: " << condition << " does not hold";
        if (!r.conditionValues.empty()) out << " (" << describeReferences(r.conditionValues) << ")";
        out << p.reset() << "\n";
        return false;
    }
    if (r.action == "error")
        out << " -> the installation stops here (msiexec ends with " << r.result << ")";
    else if (r.action != "set")
        out << " -> " << r.result;
    out << p.reset();
    if (!r.condition.empty()) out << p.dim() << "  (" << condition << ")" << p.reset();
    out << "\n";
    // Why it stopped: what the error's condition read.
    if (r.action == "error" && !r.conditionValues.empty())
        out << p.red() << "   " << describeReferences(r.conditionValues) << p.reset() << "\n";
    return true;
}

}  // namespace

void printText(std::ostream& out, const std::vector<ActionReport>& reports, bool colour)
{
    const Palette p{colour};
    for (const auto& r : reports) {
        if (!printHeading(out, r, p)) continue;
        if (r.changes.empty() && r.messageBoxes.empty() && r.openedTargets.empty() && r.logMessages.empty())
            out << "   (no change)\n";
        printProperties(out, r.changes.properties, p);
        printFiles(out, r.changes.files, p);
        printRegistry(out, r.changes, p);
        printControls(out, r.changes.controls, p);
        printDiffs(out, r.changes.files, p);
        printNotes(out, r, p);
    }
}

void printSummary(std::ostream& out, const Summary& summary, bool colour)
{
    const Palette p{colour};
    out << p.bold() << "== Summary" << p.reset() << "\n";
    for (const auto& h : summary.hosts) {
        out << p.bold() << utf8FromAnsi(h.folder) << p.reset() << "\n";
        out << "   after installation: " << h.added << " file(s) added, " << h.deleted << " deleted, " << h.changed
            << " changed";
        if (h.orvellaEntries)
            out << "; protk.dat holds " << *h.orvellaEntries << " Orvella entry, "
                << (*h.otherLinesKept ? "every other line kept" : p.red() + "LINES LOST" + p.reset());
        out << "\n   after removal:      ";
        if (h.differences.empty()) {
            out << "exactly as before the installation\n";
            continue;
        }
        out << "what differs from before the installation:\n";
        for (const auto& d : h.differences)
            out << "      " << (d.loss ? p.red() : "") << utf8FromAnsi(d.text) << (d.loss ? p.reset() : "") << "\n";
    }
    const StagingSummary& s = summary.staging;
    out << p.bold() << utf8FromAnsi(s.folder) << p.reset() << " (the staging area)\n";
    out << "   after installation: " << s.stagedFiles - static_cast<int>(s.left.size()) << " of " << s.stagedFiles
        << " staged files deleted; left:\n";
    for (const auto& name : s.left) out << "      " << utf8FromAnsi(name) << "\n";
    out << "   after removal:      " << (s.touchedByRemoval ? "changed by the removal" : "as the installation left it")
        << "\n";
}

}  // namespace casim

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
    std::string marker(Change::Kind kind) const
    {
        switch (kind) {
        case Change::Kind::added: return green() + "+ ";
        case Change::Kind::removed: return red() + "- ";
        default: return yellow() + "~ ";
        }
    }
};

// Machine text, quoted, as the installer would show it.
std::string quoted(const std::string& ansi)
{
    const std::string text = utf8FromAnsi(ansi);
    std::string out = "\"";
    for (char c : text) {
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

std::string shown(std::string line)
{
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string sizeNote(const Change& c)
{
    if (c.what != Change::What::file) return "";
    if (c.kind == Change::Kind::changed)
        return " (" + std::to_string(c.before->size()) + " -> " + std::to_string(c.after->size()) + " bytes)";
    return " (" + std::to_string((c.before ? c.before : c.after)->size()) + " bytes)";
}

// Files and folders as a tree: unchanged folders only as the way to a change.
struct Node {
    std::map<std::string, Node> children;
    const Change* change = nullptr;
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
            out << p.marker(n->change->kind) << utf8FromAnsi(label) << (n->change->what == Change::What::folder ? "\\" : "")
                << sizeNote(*n->change) << p.reset() << "\n";
        else
            out << utf8FromAnsi(label) << "\\\n";
        printTree(out, *n, indent + (last ? "   " : "│  "), p);
    }
}


std::string ending(const std::string& line)
{
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) return "CR LF";
    if (!line.empty() && line.back() == '\n') return "LF";
    if (!line.empty() && line.back() == '\r') return "CR";
    return "";
}

std::string withoutEnding(const std::string& line)
{
    std::string text = line;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

// Lines that Myers' algorithm compares after the common head and tail are
// set aside; beyond this many, a rewritten file would take minutes.
constexpr std::size_t kMaxDiffLines = 50'000;

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
    const auto a = splitLines(before), b = splitLines(after);
    if (a == b) return {};
    std::size_t head = 0, tail = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
    const std::vector<std::string> midA(a.begin() + head, a.end() - tail), midB(b.begin() + head, b.end() - tail);
    std::ostringstream out;
    out << "--- " << name << " (before)\n+++ " << name << " (after)\n";
    if (midA.size() + midB.size() > kMaxDiffLines) {
        out << "@@ -" << head + 1 << "," << midA.size() << " +" << head + 1 << "," << midB.size() << " @@\n"
            << "  (" << midA.size() << " line(s) replaced by " << midB.size() << ": too many to diff line by line)\n";
        return out.str();
    }

    struct Edit {
        char op;
        std::size_t ai, bi;  // 0-based line numbers in a and b
    };
    constexpr std::size_t context = 3;
    std::vector<Edit> edits;
    for (std::size_t k = head > context ? head - context : 0; k < head; ++k) edits.push_back({' ', k, k});
    dtl::Diff<std::string> myers(midA, midB, true);  // deletions before additions, as diff -u shows them
    myers.onHuge();
    myers.compose();
    std::size_t i = head, j = head;
    for (const auto& [line, info] : myers.getSes().getSequence()) {
        if (info.type == dtl::SES_COMMON)
            edits.push_back({' ', i++, j++});
        else if (info.type == dtl::SES_DELETE)
            edits.push_back({'-', i++, j});
        else
            edits.push_back({'+', i, j++});
    }
    for (std::size_t k = 0; k < std::min(tail, context); ++k) edits.push_back({' ', i + k, j + k});

    std::vector<std::size_t> changed;
    for (std::size_t e = 0; e < edits.size(); ++e)
        if (edits[e].op != ' ') changed.push_back(e);
    for (std::size_t h = 0; h < changed.size();) {
        const std::size_t first = changed[h];
        std::size_t last = first;
        while (h + 1 < changed.size() && changed[h + 1] - last <= 2 * context + 1) last = changed[++h];
        ++h;
        const std::size_t begin = first >= context ? first - context : 0;
        const std::size_t end = std::min(edits.size(), last + context + 1);
        std::size_t aCount = 0, bCount = 0;
        // A line whose text is on both sides of the hunk shows its line end,
        // or a change of line ends alone would show as the same line twice.
        std::map<std::string, int> sides;
        for (std::size_t e = begin; e < end; ++e) {
            if (edits[e].op != '+') ++aCount;
            if (edits[e].op != '-') ++bCount;
            if (edits[e].op == '-') sides[withoutEnding(a[edits[e].ai])] |= 1;
            if (edits[e].op == '+') sides[withoutEnding(b[edits[e].bi])] |= 2;
        }
        out << "@@ -" << edits[begin].ai + (aCount ? 1 : 0) << "," << aCount << " +"
            << edits[begin].bi + (bCount ? 1 : 0) << "," << bCount << " @@\n";
        for (std::size_t e = begin; e < end; ++e) {
            const std::string& line = edits[e].op == '+' ? b[edits[e].bi] : a[edits[e].ai];
            out << edits[e].op << withoutEnding(line);
            const std::string end = ending(line);
            if (edits[e].op != ' ' && sides[withoutEnding(line)] == 3 && !end.empty()) out << "  [" << end << "]";
            out << "\n";
            if (end.empty() || end == "CR") out << "\\ No newline at end of file\n";
        }
    }
    return out.str();
}

std::string describeReferences(const std::vector<ConditionReference>& references)
{
    std::string text;
    for (const auto& r : references)
        text += (text.empty() ? "" : ", ") + r.symbol + (r.value ? "=" + quoted(*r.value) : std::string(" unset"));
    return text;
}

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
    std::ostringstream out;
    out << "hex(" << v.type << "):";
    for (std::size_t i = 0; i < v.data.size(); ++i) {
        static const char* digits = "0123456789abcdef";
        out << (i ? "," : "") << digits[v.data[i] >> 4] << digits[v.data[i] & 15];
    }
    return out.str();
}

std::string describeRow(const sim::ControlRow& row)
{
    std::string text = row.temporary ? "temporary " : "";
    for (std::size_t i = 0; i < row.fields.size(); ++i) text += (i ? "|" : "") + utf8FromAnsi(row.fields[i]);
    return text;
}

void printText(std::ostream& out, const std::vector<ActionReport>& reports, bool colour)
{
    using W = Change::What;
    using K = Change::Kind;
    const Palette p{colour};
    for (const auto& r : reports) {
        const std::string condition = utf8FromAnsi(r.condition);
        out << p.bold() << "== " << (r.session == "run" ? "" : r.session + ": ") << r.action;
        if (r.action == "set") out << " " << r.property << "=" << utf8FromAnsi(r.value);
        if (r.skipped) {
            out << p.reset() << p.dim() << "  skipped: " << condition << " does not hold";
            if (!r.conditionValues.empty()) out << " (" << describeReferences(r.conditionValues) << ")";
            out << p.reset() << "\n";
            continue;
        }
        if (r.action != "set") out << " -> " << r.result;
        out << p.reset();
        if (!r.condition.empty()) out << p.dim() << "  (" << condition << ")" << p.reset();
        out << "\n";
        std::vector<const Change*> props, files, registry, controls;
        for (const auto& c : r.changes) {
            if (c.what == W::property)
                props.push_back(&c);
            else if (c.what == W::file || c.what == W::folder)
                files.push_back(&c);
            else if (c.what == W::registryKey || c.what == W::registryValue)
                registry.push_back(&c);
            else
                controls.push_back(&c);
        }
        if (r.changes.empty() && r.messageBoxes.empty() && r.openedTargets.empty() && r.logMessages.empty())
            out << "   (no change)\n";
        if (!props.empty()) out << p.cyan() << "   properties" << p.reset() << "\n";
        for (const Change* c : props) {
            out << "     " << p.marker(c->kind) << c->name;
            if (c->kind == K::added) out << " = " << quoted(*c->after);
            if (c->kind == K::changed) out << ": " << quoted(*c->before) << " -> " << quoted(*c->after);
            if (c->kind == K::removed) out << " (was " << quoted(*c->before) << ")";
            out << p.reset() << "\n";
        }
        if (!files.empty()) {
            out << p.cyan() << "   files" << p.reset() << "\n";
            Node root;
            for (const Change* c : files) {
                Node* n = &root;
                for (const auto& part : components(c->name)) n = &n->children[part];
                n->change = c;
            }
            printTree(out, root, "     ", p);
        }
        if (!registry.empty()) out << p.cyan() << "   registry" << p.reset() << "\n";
        for (const Change* c : registry) {
            out << "     " << p.marker(c->kind) << utf8FromAnsi(c->name);
            if (c->what == W::registryKey) {
                out << " (key)" << p.reset() << "\n";
                continue;
            }
            out << " : " << utf8FromAnsi(c->valueName.empty() ? "(default)" : c->valueName);
            if (c->kind == K::added) out << " = " << describeValue(*c->valueAfter);
            if (c->kind == K::changed) out << ": " << describeValue(*c->valueBefore) << " -> " << describeValue(*c->valueAfter);
            if (c->kind == K::removed) out << " (was " << describeValue(*c->valueBefore) << ")";
            out << p.reset() << "\n";
        }
        if (!controls.empty()) out << p.cyan() << "   Control rows" << p.reset() << "\n";
        for (const Change* c : controls)
            out << "     " << p.marker(c->kind) << describeRow(c->kind == K::added ? *c->rowAfter : *c->rowBefore)
                << p.reset() << "\n";
        for (const Change* c : files) {
            if (c->what != W::file || c->kind != K::changed) continue;
            if (!looksLikeText(*c->before) || !looksLikeText(*c->after)) continue;
            std::istringstream diff(utf8FromAnsi(unifiedDiff(*c->before, *c->after, c->name)));
            std::string line;
            while (std::getline(diff, line)) {
                const std::string& colourOf = line.rfind("+++", 0) == 0 || line.rfind("---", 0) == 0 ? p.bold()
                                              : line[0] == '+'                                        ? p.green()
                                              : line[0] == '-'                                        ? p.red()
                                              : line[0] == '@'                                        ? p.cyan()
                                                                                                      : std::string();
                out << "     " << colourOf << line << p.reset() << "\n";
            }
        }
        for (const auto& box : r.messageBoxes)
            out << "   ! message box " << quoted(box.caption) << ": " << utf8FromAnsi(box.text) << " (style " << box.style
                << ")\n";
        for (const auto& line : r.logMessages) out << "   ! installer log: " << utf8FromAnsi(line) << "\n";
        for (const auto& target : r.openedTargets) out << "   ! shell opens " << quoted(target) << "\n";
        if (r.leakedHandles) out << p.red() << "   ! " << r.leakedHandles << " handle(s) left open" << p.reset() << "\n";
    }
}

namespace {

int countLines(const std::string& text, const std::string& line)
{
    int n = 0;
    for (const auto& l : splitLines(text))
        if (shown(l) == line) ++n;
    return n;
}

// Every line of `original` is still in `now`, in its order.
bool keepsLines(const std::string& original, const std::string& now)
{
    const auto a = splitLines(original), b = splitLines(now);
    std::size_t j = 0;
    for (const auto& line : a) {
        while (j < b.size() && shown(b[j]) != shown(line)) ++j;
        if (j == b.size()) return false;
        ++j;
    }
    return true;
}

bool isFileChange(const Change& c)
{
    return c.what == Change::What::file || c.what == Change::What::folder;
}

std::map<std::string, std::vector<Change>> byFolder(const std::vector<Change>& changes, const std::vector<std::string>& folders)
{
    std::map<std::string, std::vector<Change>> out;
    for (const auto& c : changes) {
        if (!isFileChange(c)) continue;
        for (const auto& f : folders)
            if (c.name.rfind(f + "\\", 0) == 0) out[f].push_back(c);
    }
    return out;
}

}  // namespace

Summary summarize(const MachineState& start, const MachineState& installed, const MachineState& removed)
{
    using K = Change::Kind;
    // The folders to summarise: those directly below C:\PTC, and the staging area.
    std::vector<std::string> folders;
    for (const auto& [name, content] : start.files) {
        const auto parts = components(name);
        if (!content && parts.size() == 3 && parts[1] == "PTC") folders.push_back(name);
    }
    const std::string staging = "C:\\ProgramData";
    folders.push_back(staging);
    const auto installChanges = byFolder(diff(start, installed), folders);
    const auto leftChanges = byFolder(diff(start, removed), folders);
    Summary summary;
    for (const auto& folder : folders) {
        FolderSummary f;
        f.folder = folder;
        if (folder == staging) {
            f.staging = true;
            for (const auto& [name, content] : start.files)
                if (content && name.rfind(folder + "\\", 0) == 0) ++f.stagedFiles;
            for (const auto& [name, content] : installed.files)
                if (content && name.rfind(folder + "\\", 0) == 0) f.stagedLeft.push_back(name.substr(folder.size() + 1));
            f.touchedByRemoval = byFolder(diff(installed, removed), folders).count(folder) != 0;
            summary.folders.push_back(std::move(f));
            continue;
        }
        auto it = installChanges.find(folder);
        if (it != installChanges.end())
            for (const auto& c : it->second) {
                if (c.kind == K::added && c.what == Change::What::file) ++f.added;
                if (c.kind == K::removed && c.what == Change::What::file) ++f.deleted;
                if (c.kind == K::changed) ++f.changed;
            }
        const std::string protk = folder + "\\text\\protk.dat";
        auto was = start.files.find(protk), now = installed.files.find(protk), end = removed.files.find(protk);
        if (was != start.files.end() && was->second && now != installed.files.end() && now->second) {
            f.orvellaEntries = countLines(*now->second, "name Orvella");
            f.otherLinesKept = keepsLines(*was->second, *now->second);
        }
        auto left = leftChanges.find(folder);
        if (left != leftChanges.end()) {
            f.asBefore = false;
            for (const auto& c : left->second) {
                const std::string rel = c.name.substr(folder.size() + 1);
                const bool loss = c.kind == K::removed;
                if (c.kind == K::added)
                    f.differences.push_back("+ " + rel + (c.what == Change::What::folder ? "\\" : ""));
                else if (loss)
                    f.differences.push_back("- " + rel);
                else if (c.name == protk && end != removed.files.end() && end->second && was->second &&
                         countLines(*end->second, "name Orvella") == 0 && keepsLines(*was->second, *end->second))
                    f.differences.push_back("~ " + rel + " (no Orvella entry, every other line kept, " +
                                            std::to_string(static_cast<long>(splitLines(*end->second).size()) -
                                                           static_cast<long>(splitLines(*was->second).size())) +
                                            " more line(s))");
                else
                    f.differences.push_back("~ " + rel);
                f.differenceIsLoss.push_back(loss);
            }
        }
        summary.folders.push_back(std::move(f));
    }
    return summary;
}

void printSummary(std::ostream& out, const Summary& summary, bool colour)
{
    const Palette p{colour};
    out << p.bold() << "== Summary" << p.reset() << "\n";
    for (const auto& f : summary.folders) {
        out << p.bold() << utf8FromAnsi(f.folder) << p.reset() << (f.staging ? " (the staging area)" : "") << "\n";
        if (f.staging) {
            out << "   after installation: " << f.stagedFiles - static_cast<int>(f.stagedLeft.size()) << " of "
                << f.stagedFiles << " staged files deleted; left:\n";
            for (const auto& name : f.stagedLeft) out << "      " << utf8FromAnsi(name) << "\n";
            out << "   after removal:      "
                << (f.touchedByRemoval ? "changed by the removal" : "as the installation left it") << "\n";
            continue;
        }
        out << "   after installation: " << f.added << " file(s) added, " << f.deleted << " deleted, " << f.changed
            << " changed";
        if (f.orvellaEntries)
            out << "; protk.dat holds " << *f.orvellaEntries << " Orvella entry, "
                << (*f.otherLinesKept ? "every other line kept" : p.red() + "LINES LOST" + p.reset());
        out << "\n   after removal:      ";
        if (f.asBefore) {
            out << "exactly as before the installation\n";
            continue;
        }
        out << "what differs from before the installation:\n";
        for (std::size_t i = 0; i < f.differences.size(); ++i)
            out << "      " << (f.differenceIsLoss[i] ? p.red() : "") << utf8FromAnsi(f.differences[i])
                << (f.differenceIsLoss[i] ? p.reset() : "") << "\n";
    }
}

}  // namespace casim

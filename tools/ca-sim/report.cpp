#include "report.h"

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

std::string quoted(const std::string& text)
{
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
    if (c.what != "file") return "";
    const std::string& content = c.kind == Change::Kind::removed ? c.before : c.after;
    if (c.kind == Change::Kind::changed)
        return " (" + std::to_string(c.before.size()) + " -> " + std::to_string(c.after.size()) + " bytes)";
    return " (" + std::to_string(content.size()) + " bytes)";
}

// Files and folders as a tree: unchanged folders only as the way to a change.
struct Node {
    std::map<std::string, Node> children;
    const Change* change = nullptr;
};

std::vector<std::string> components(const std::string& path)
{
    std::vector<std::string> parts;
    std::stringstream in(path);
    std::string part;
    while (std::getline(in, part, '\\'))
        if (!part.empty()) parts.push_back(part);
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
            out << p.marker(n->change->kind) << label << (n->change->what == "folder" ? "\\" : "")
                << sizeNote(*n->change) << p.reset() << "\n";
        else
            out << label << "\\\n";
        printTree(out, *n, indent + (last ? "   " : "│  "), p);
    }
}

void jsonString(std::ostream& out, const std::string& s)
{
    out << '"';
    for (unsigned char c : s) {
        switch (c) {
        case '"': out << "\\\""; break;
        case '\\': out << "\\\\"; break;
        case '\n': out << "\\n"; break;
        case '\r': out << "\\r"; break;
        case '\t': out << "\\t"; break;
        default:
            if (c < 0x20) {
                static const char* hex = "0123456789abcdef";
                out << "\\u00" << hex[c >> 4] << hex[c & 15];
            } else {
                out << c;
            }
        }
    }
    out << '"';
}

const char* kindName(Change::Kind k)
{
    return k == Change::Kind::added ? "added" : k == Change::Kind::removed ? "removed" : "changed";
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
    const auto a = splitLines(before), b = splitLines(after);
    const std::size_t n = a.size(), m = b.size();
    if (a == b) return {};
    if (n * m > 4'000'000) return "    (" + name + ": too large to diff)\n";
    // Longest common subsequence, then the edit script.
    std::vector<std::vector<unsigned>> lcs(n + 1, std::vector<unsigned>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;)
            lcs[i][j] = a[i] == b[j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
    struct Edit {
        char op;
        std::size_t ai, bi;
    };
    std::vector<Edit> edits;
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[i] == b[j])
            edits.push_back({' ', i++, j++});
        else if (i < n && (j == m || lcs[i + 1][j] >= lcs[i][j + 1]))
            edits.push_back({'-', i++, j});
        else
            edits.push_back({'+', i, j++});
    }
    std::ostringstream out;
    out << "--- " << name << " (before)\n+++ " << name << " (after)\n";
    const std::size_t context = 3;
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
        for (std::size_t e = begin; e < end; ++e) {
            if (edits[e].op != '+') ++aCount;
            if (edits[e].op != '-') ++bCount;
        }
        out << "@@ -" << edits[begin].ai + (aCount ? 1 : 0) << "," << aCount << " +" << edits[begin].bi + (bCount ? 1 : 0)
            << "," << bCount << " @@\n";
        for (std::size_t e = begin; e < end; ++e) {
            const std::string& line = edits[e].op == '+' ? b[edits[e].bi] : a[edits[e].ai];
            out << edits[e].op << shown(line) << "\n";
            if (line.empty() || line.back() != '\n') out << "\\ No newline at end of file\n";
        }
    }
    return out.str();
}

void printText(std::ostream& out, const std::vector<ActionReport>& reports, bool colour)
{
    const Palette p{colour};
    for (const auto& r : reports) {
        out << p.bold() << "== " << (r.session == "run" ? "" : r.session + ": ") << r.action;
        if (r.skipped) {
            out << p.reset() << p.dim() << "  skipped: " << r.condition << " does not hold" << p.reset() << "\n";
            continue;
        }
        if (r.action.rfind("set ", 0) != 0) out << " -> " << r.result;
        out << p.reset();
        if (!r.condition.empty()) out << p.dim() << "  (" << r.condition << ")" << p.reset();
        out << "\n";
        std::vector<const Change*> props, files, registry, controls;
        for (const auto& c : r.changes) {
            if (c.what == "property")
                props.push_back(&c);
            else if (c.what == "file" || c.what == "folder")
                files.push_back(&c);
            else if (c.what == "registry")
                registry.push_back(&c);
            else
                controls.push_back(&c);
        }
        if (r.changes.empty() && r.messageBoxes.empty() && r.openedTargets.empty() && r.logMessages.empty())
            out << "   (no change)\n";
        if (!props.empty()) out << p.cyan() << "   properties" << p.reset() << "\n";
        for (const Change* c : props) {
            out << "     " << p.marker(c->kind) << c->name;
            if (c->kind == Change::Kind::added) out << " = " << quoted(c->after);
            if (c->kind == Change::Kind::changed) out << ": " << quoted(c->before) << " -> " << quoted(c->after);
            if (c->kind == Change::Kind::removed) out << " (was " << quoted(c->before) << ")";
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
            out << "     " << p.marker(c->kind) << c->name;
            if (c->before.empty() && c->after.empty()) {  // a key
                out << p.reset() << "\n";
                continue;
            }
            if (c->kind == Change::Kind::added) out << " = " << c->after;
            if (c->kind == Change::Kind::changed) out << ": " << c->before << " -> " << c->after;
            if (c->kind == Change::Kind::removed) out << " (was " << c->before << ")";
            out << p.reset() << "\n";
        }
        if (!controls.empty()) out << p.cyan() << "   Control rows" << p.reset() << "\n";
        for (const Change* c : controls)
            out << "     " << p.marker(c->kind) << (c->kind == Change::Kind::added ? c->after : c->before) << p.reset()
                << "\n";
        for (const Change* c : files) {
            if (c->what != "file" || c->kind != Change::Kind::changed) continue;
            if (!looksLikeText(c->before) || !looksLikeText(c->after)) continue;
            std::istringstream diff(unifiedDiff(c->before, c->after, c->name));
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
            out << "   ! message box \"" << box.caption << "\": " << box.text << " (style " << box.style << ")\n";
        for (const auto& line : r.logMessages) out << "   ! installer log: " << line << "\n";
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

std::map<std::string, std::vector<Change>> byFolder(const std::vector<Change>& changes, const std::vector<std::string>& folders)
{
    std::map<std::string, std::vector<Change>> out;
    for (const auto& c : changes) {
        if (c.what != "file" && c.what != "folder") continue;
        for (const auto& f : folders)
            if (c.name.rfind(f + "\\", 0) == 0) out[f].push_back(c);
    }
    return out;
}

}  // namespace

void printSummary(std::ostream& out, const MachineState& start, const MachineState& installed,
                  const MachineState& removed, bool colour)
{
    const Palette p{colour};
    // The folders to summarise: those directly below C:\PTC, and the staging area.
    std::vector<std::string> folders;
    for (const auto& [name, content] : start.files) {
        const auto parts = components(name);
        if (!content && parts.size() == 3 && parts[1] == "PTC") folders.push_back(name);
    }
    folders.push_back("C:\\ProgramData");
    const auto installChanges = byFolder(diff(start, installed), folders);
    const auto leftChanges = byFolder(diff(start, removed), folders);
    out << p.bold() << "== Summary" << p.reset() << "\n";
    const std::string staging = folders.back();
    for (const auto& folder : folders) {
        out << p.bold() << folder << p.reset() << (folder == staging ? " (the staging area)" : "") << "\n";
        if (folder == staging) {
            std::vector<std::string> left;
            int staged = 0;
            for (const auto& [name, content] : start.files)
                if (content && name.rfind(folder + "\\", 0) == 0) ++staged;
            for (const auto& [name, content] : installed.files)
                if (content && name.rfind(folder + "\\", 0) == 0) left.push_back(name.substr(folder.size() + 1));
            out << "   after installation: " << staged - static_cast<int>(left.size()) << " of " << staged
                << " staged files deleted; left:\n";
            for (const auto& name : left) out << "      " << name << "\n";
            const bool untouched = byFolder(diff(installed, removed), folders).count(folder) == 0;
            out << "   after removal:      " << (untouched ? "as the installation left it" : "changed by the removal")
                << "\n";
            continue;
        }
        int added = 0, removedCount = 0, changed = 0;
        auto it = installChanges.find(folder);
        if (it != installChanges.end())
            for (const auto& c : it->second) {
                if (c.kind == Change::Kind::added && c.what == "file") ++added;
                if (c.kind == Change::Kind::removed && c.what == "file") ++removedCount;
                if (c.kind == Change::Kind::changed) ++changed;
            }
        out << "   after installation: " << added << " file(s) added, " << removedCount << " deleted, " << changed
            << " changed";
        const std::string protk = folder + "\\text\\protk.dat";
        auto was = start.files.find(protk), now = installed.files.find(protk), end = removed.files.find(protk);
        if (was != start.files.end() && was->second && now != installed.files.end() && now->second)
            out << "; protk.dat holds " << countLines(*now->second, "name Orvella") << " Orvella entry, "
                << (keepsLines(*was->second, *now->second) ? "every other line kept" : p.red() + "LINES LOST" + p.reset());
        out << "\n   after removal:      ";
        auto left = leftChanges.find(folder);
        if (left == leftChanges.end()) {
            out << "exactly as before the installation\n";
            continue;
        }
        std::vector<std::string> notes;
        for (const auto& c : left->second) {
            std::string rel = c.name.substr(folder.size() + 1);
            if (c.kind == Change::Kind::added)
                notes.push_back("+ " + rel + (c.what == "folder" ? "\\" : ""));
            else if (c.kind == Change::Kind::removed)
                notes.push_back(p.red() + "- " + rel + p.reset());
            else if (c.name == protk && end != removed.files.end() && end->second && was->second &&
                     countLines(*end->second, "name Orvella") == 0 && keepsLines(*was->second, *end->second))
                notes.push_back("~ " + rel + " (no Orvella entry, every other line kept, " +
                                std::to_string(static_cast<long>(splitLines(*end->second).size()) -
                                               static_cast<long>(splitLines(*was->second).size())) +
                                " more line(s))");
            else
                notes.push_back("~ " + rel);
        }
        out << "what differs from before the installation:\n";
        for (const auto& n : notes) out << "      " << n << "\n";
    }
}

void printJson(std::ostream& out, const std::vector<ActionReport>& reports)
{
    out << "[";
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const auto& r = reports[i];
        out << (i ? ",\n " : "\n ") << "{\"session\":";
        jsonString(out, r.session);
        out << ",\"action\":";
        jsonString(out, r.action);
        out << ",\"condition\":";
        jsonString(out, r.condition);
        out << ",\"skipped\":" << (r.skipped ? "true" : "false") << ",\"result\":" << r.result
            << ",\"leakedHandles\":" << r.leakedHandles << ",\"changes\":[";
        for (std::size_t k = 0; k < r.changes.size(); ++k) {
            const auto& c = r.changes[k];
            out << (k ? "," : "") << "{\"kind\":\"" << kindName(c.kind) << "\",\"what\":";
            jsonString(out, c.what);
            out << ",\"name\":";
            jsonString(out, c.name);
            if (c.what == "file") {
                out << ",\"sizeBefore\":" << c.before.size() << ",\"sizeAfter\":" << c.after.size();
                if (c.kind == Change::Kind::changed && looksLikeText(c.before) && looksLikeText(c.after)) {
                    out << ",\"diff\":";
                    jsonString(out, unifiedDiff(c.before, c.after, c.name));
                }
            } else if (c.what != "folder") {
                out << ",\"before\":";
                jsonString(out, c.before);
                out << ",\"after\":";
                jsonString(out, c.after);
            }
            out << "}";
        }
        out << "],\"messageBoxes\":[";
        for (std::size_t k = 0; k < r.messageBoxes.size(); ++k) {
            out << (k ? "," : "") << "{\"caption\":";
            jsonString(out, r.messageBoxes[k].caption);
            out << ",\"text\":";
            jsonString(out, r.messageBoxes[k].text);
            out << ",\"style\":" << r.messageBoxes[k].style << "}";
        }
        out << "],\"log\":[";
        for (std::size_t k = 0; k < r.logMessages.size(); ++k) {
            out << (k ? "," : "");
            jsonString(out, r.logMessages[k]);
        }
        out << "],\"opened\":[";
        for (std::size_t k = 0; k < r.openedTargets.size(); ++k) {
            out << (k ? "," : "");
            jsonString(out, r.openedTargets[k]);
        }
        out << "]}";
    }
    out << "\n]\n";
}

}  // namespace casim

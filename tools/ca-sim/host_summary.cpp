#include "host_summary.h"

#include "scenario.h"

#include <algorithm>

namespace casim {
namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    forEachLine(text, [&](const std::string& line, int) { lines.push_back(line); });
    return lines;
}


// Every line of `original` is still in `now`, in its order.
bool keepsLines(const std::string& original, const std::string& now)
{
    const auto a = linesOf(original), b = linesOf(now);
    std::size_t j = 0;
    for (const auto& line : a) {
        while (j < b.size() && b[j] != line) ++j;
        if (j == b.size()) return false;
        ++j;
    }
    return true;
}

bool below(const std::string& path, const std::string& folder)
{
    return path.rfind(folder + "\\", 0) == 0;
}

std::vector<FileChange> changesBelow(const Changes& changes, const std::string& folder)
{
    std::vector<FileChange> found;
    for (const auto& c : changes.files)
        if (below(c.path, folder)) found.push_back(c);
    return found;
}

const std::string* fileIn(const MachineState& state, const std::string& path)
{
    const auto it = state.files.find(path);
    return it == state.files.end() || !it->second ? nullptr : &*it->second;
}

// What the removal left that differs from before the installation.
std::vector<HostSummary::Difference> leftOver(const std::string& folder, const MachineState& start,
                                              const MachineState& removed)
{
    const std::string protk = folder + "\\text\\protk.dat";
    const std::string *was = fileIn(start, protk), *end = fileIn(removed, protk);
    std::vector<HostSummary::Difference> left;
    for (const auto& c : changesBelow(diff(start, removed), folder)) {
        const std::string rel = c.path.substr(folder.size() + 1);
        switch (kindOf(c)) {
        case ChangeKind::added: left.push_back({"+ " + rel + (c.folder ? "\\" : ""), false}); break;
        case ChangeKind::removed: left.push_back({"- " + rel, true}); break;
        case ChangeKind::changed:
            if (c.path == protk && was && end && orvellaEntries(*end) == 0 && keepsLines(*was, *end))
                left.push_back({"~ " + rel + " (no Orvella entry, every other line kept, " +
                                    std::to_string(static_cast<long>(linesOf(*end).size()) -
                                                   static_cast<long>(linesOf(*was).size())) +
                                    " more line(s))",
                                false});
            else
                left.push_back({"~ " + rel, false});
            break;
        }
    }
    return left;
}

}  // namespace

int orvellaEntries(const std::string& protk)
{
    const auto lines = linesOf(protk);
    return static_cast<int>(std::count(lines.begin(), lines.end(), "name Orvella"));
}

HostSummary summarizeHost(const std::string& folder, const MachineState& start, const MachineState& installed,
                          const MachineState& removed)
{
    HostSummary h;
    h.folder = folder;
    for (const auto& c : changesBelow(diff(start, installed), folder)) {
        if (kindOf(c) == ChangeKind::added && !c.folder) ++h.added;
        if (kindOf(c) == ChangeKind::removed && !c.folder) ++h.deleted;
        if (kindOf(c) == ChangeKind::changed) ++h.changed;
    }
    const std::string protk = folder + "\\text\\protk.dat";
    if (const std::string* was = fileIn(start, protk), *now = fileIn(installed, protk); was && now) {
        h.orvellaEntries = orvellaEntries(*now);
        h.otherLinesKept = keepsLines(*was, *now);
    }
    h.differences = leftOver(folder, start, removed);
    return h;
}

}  // namespace casim

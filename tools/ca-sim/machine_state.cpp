#include "machine_state.h"

#include <algorithm>
#include <set>

namespace casim {
namespace {

template <class T>
std::optional<T> copyOf(const T* value)
{
    return value ? std::optional<T>(*value) : std::nullopt;
}

// A file that became a folder (or the other way) is one removal and one addition.
void fileChanges(const MachineState& before, const MachineState& after, std::vector<FileChange>& out)
{
    using Entry = std::optional<std::string>;
    const auto side = [](const Entry* entry) { return entry ? std::optional(entry->value_or("")) : std::nullopt; };
    diffMaps(before.files, after.files, [&](const std::string& path, const Entry* was, const Entry* now) {
        if (was && now && was->has_value() != now->has_value()) {
            out.push_back({path, !was->has_value(), side(was), std::nullopt});
            out.push_back({path, !now->has_value(), std::nullopt, side(now)});
            return;
        }
        const Entry* present = was ? was : now;
        out.push_back({path, !present->has_value(), side(was), side(now)});
    });
}

// Keys too: one can be created or deleted with no value in it.
void registryChanges(const MachineState& before, const MachineState& after, Changes& out)
{
    using Values = std::map<std::string, sim::RegValue>;
    diffMaps(before.registry, after.registry, [&](const std::string& key, const Values* was, const Values* now) {
        if (key.empty() || (was && now)) return;
        out.keys.push_back({"HKLM\\" + key, now ? ChangeKind::added : ChangeKind::removed});
    });
    std::set<std::string> keys;
    for (const auto* flat : {&before.registry, &after.registry})
        for (const auto& [key, values] : *flat) keys.insert(key);
    static const Values kNone;
    const auto valuesOf = [](const sim::Registry::Flat& flat, const std::string& key) -> const Values& {
        const auto it = flat.find(key);
        return it == flat.end() ? kNone : it->second;
    };
    for (const auto& key : keys)
        diffMaps(valuesOf(before.registry, key), valuesOf(after.registry, key),
                 [&](const std::string& name, const sim::RegValue* was, const sim::RegValue* now) {
                     out.values.push_back({"HKLM\\" + key, name, copyOf(was), copyOf(now)});
                 });
}

void controlChanges(const MachineState& before, const MachineState& after, std::vector<ControlChange>& out)
{
    const auto missingFrom = [](const std::vector<sim::ControlRow>& rows, const sim::ControlRow& row) {
        return std::find(rows.begin(), rows.end(), row) == rows.end();
    };
    for (const auto& row : before.controlRows)
        if (missingFrom(after.controlRows, row)) out.push_back({row, std::nullopt});
    for (const auto& row : after.controlRows)
        if (missingFrom(before.controlRows, row)) out.push_back({std::nullopt, row});
}

}  // namespace

Changes diff(const MachineState& before, const MachineState& after)
{
    Changes changes;
    diffMaps(before.properties, after.properties, [&](const std::string& name, const std::string* was, const std::string* now) {
        changes.properties.push_back({name, copyOf(was), copyOf(now)});
    });
    fileChanges(before, after, changes.files);
    registryChanges(before, after, changes);
    if (before.controlRows != after.controlRows) controlChanges(before, after, changes.controls);
    return changes;
}

}  // namespace casim

// What a simulated machine holds that an action can change, and what differs
// between two such states: one change type per kind of thing.
#pragma once

#include "platform/sim/machine.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace casim {

struct MachineState {
    std::map<std::string, std::string> properties;
    // "C:\\folder\\file" -> content; folders map to nullopt.
    std::map<std::string, std::optional<std::string>> files;
    sim::Registry::Flat registry;
    std::vector<sim::ControlRow> controlRows;
};

enum class ChangeKind { added, changed, removed };

// Text is the machine's bytes, in its code page. A missing side is nullopt.
struct PropertyChange {
    std::string name;
    std::optional<std::string> before, after;
};
struct FileChange {
    std::string path;  // Windows form
    bool folder = false;
    std::optional<std::string> before, after;  // a file's content; "" for a folder that exists
};
struct KeyChange {
    std::string key;  // "HKLM\\..."
    ChangeKind kind = ChangeKind::added;
};
struct ValueChange {
    std::string key;   // "HKLM\\..."
    std::string name;  // "" the default value
    std::optional<sim::RegValue> before, after;
};
struct ControlChange {
    std::optional<sim::ControlRow> before, after;
};

template <class C>
ChangeKind kindOf(const C& change)
{
    return !change.before ? ChangeKind::added : !change.after ? ChangeKind::removed : ChangeKind::changed;
}
inline ChangeKind kindOf(const KeyChange& change) { return change.kind; }

struct Changes {
    std::vector<PropertyChange> properties;
    std::vector<FileChange> files;
    std::vector<KeyChange> keys;
    std::vector<ValueChange> values;
    std::vector<ControlChange> controls;
    bool empty() const
    {
        return properties.empty() && files.empty() && keys.empty() && values.empty() && controls.empty();
    }
};

// Calls emit(key, before, after) for every key whose value differs between
// two maps: removed and changed ones in `before`'s order (after null when
// removed), then added ones (before null).
template <class Map, class Emit>
void diffMaps(const Map& before, const Map& after, Emit emit)
{
    const typename Map::mapped_type* none = nullptr;
    for (const auto& [key, value] : before) {
        const auto it = after.find(key);
        if (it == after.end())
            emit(key, &value, none);
        else if (!(it->second == value))
            emit(key, &value, &it->second);
    }
    for (const auto& [key, value] : after)
        if (before.find(key) == before.end()) emit(key, none, &value);
}

Changes diff(const MachineState& before, const MachineState& after);

}  // namespace casim

// The simulated HKEY_LOCAL_MACHINE tree.
#include "platform/sim/machine_internal.h"

namespace sim {

namespace {
// Key names in the machine's code page, taken apart by characters: a trail
// byte with the code of a backslash separates nothing.
std::vector<std::string> splitKeyPath(const std::string& path)
{
    const CodePage& codePage = activeCodePage();
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0;;) {
        if (i < path.size() && path[i] != '\\') {
            i += codePage.isLeadByte(path[i]) && i + 1 < path.size() ? 2 : 1;
            continue;
        }
        if (i > start) parts.push_back(path.substr(start, i - start));
        if (i >= path.size()) break;
        start = ++i;
    }
    return parts;
}

void flattenInto(const Registry::Key& key, const std::string& path, Registry::Flat& out)
{
    auto& values = out[path];
    for (const auto& [name, entry] : key.values) values[entry.first] = entry.second;
    for (const auto& [name, sub] : key.subkeys) flattenInto(sub, path.empty() ? sub.name : path + "\\" + sub.name, out);
}
}  // namespace

void Registry::createKey(const std::string& path)
{
    Key* key = &root_;
    for (const auto& part : splitKeyPath(path)) {
        auto it = key->subkeys.find(part);
        if (it == key->subkeys.end()) {
            it = key->subkeys.emplace(part, Key{}).first;
            it->second.name = part;
        }
        key = &it->second;
    }
}

bool Registry::hasKey(const std::string& path) const { return findKey(path) != nullptr; }

const Registry::Key* Registry::findKey(const std::string& path) const
{
    const Key* key = &root_;
    for (const auto& part : splitKeyPath(path)) {
        auto it = key->subkeys.find(part);
        if (it == key->subkeys.end()) return nullptr;
        key = &it->second;
    }
    return key;
}

Registry::Key* Registry::findKey(const std::string& path)
{
    return const_cast<Key*>(static_cast<const Registry*>(this)->findKey(path));
}

bool Registry::deleteKey(const std::string& path)
{
    auto parts = splitKeyPath(path);
    if (parts.empty()) return false;  // HKLM itself stays
    const std::string last = parts.back();
    parts.pop_back();
    Key* parent = &root_;
    for (const auto& part : parts) {
        auto it = parent->subkeys.find(part);
        if (it == parent->subkeys.end()) return false;
        parent = &it->second;
    }
    return parent->subkeys.erase(last) > 0;
}

void Registry::setValue(const std::string& path, const std::string& name, RegValue value)
{
    createKey(path);
    // Windows keeps the name's case from when the value was first written.
    auto it = findKey(path)->values.try_emplace(name, name, RegValue{}).first;
    it->second.second = std::move(value);
}

void Registry::setString(const std::string& path, const std::string& name, const std::string& text)
{
    RegValue v;
    v.type = 1;
    v.data.assign(text.begin(), text.end());
    v.data.push_back(0);
    setValue(path, name, std::move(v));
}

std::optional<RegValue> Registry::value(const std::string& path, const std::string& name) const
{
    const Key* key = findKey(path);
    if (key == nullptr) return std::nullopt;
    auto it = key->values.find(name);
    if (it == key->values.end()) return std::nullopt;
    return it->second.second;
}

bool Registry::deleteValue(const std::string& path, const std::string& name)
{
    Key* key = findKey(path);
    return key != nullptr && key->values.erase(name) > 0;
}

Registry::Flat Registry::flatten() const
{
    Flat out;
    flattenInto(root_, "", out);
    return out;
}

}  // namespace sim

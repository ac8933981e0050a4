// advapi32's registry calls on the simulated HKEY_LOCAL_MACHINE.
#include "platform/registry.h"
#include "platform/sim/machine_internal.h"

#include <cstring>
#include <iterator>

namespace platform {

namespace {
using sim::Machine;
using sim::Op;

constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kKeyCreateLink = 0x0020;
constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kWriteDac = 0x40000;
constexpr std::uint32_t kWriteOwner = 0x80000;
constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kGenericAll = 0x10000000u;
constexpr std::uint32_t kMaximumAllowed = 0x02000000u;
constexpr Status kKeyDeleted = 1018;

// What a handle may do, once generic rights are mapped to key rights.
std::uint32_t effectiveAccess(std::uint32_t access, bool standardUser)
{
    if (access & kGenericRead) access |= kKeyRead;
    if (access & kGenericWrite) access |= kKeyWrite;
    if (access & kGenericAll) access |= kKeyAllAccess;
    if (access & kMaximumAllowed) access |= standardUser ? kKeyRead : kKeyAllAccess;
    return access;
}

bool wantsWrite(std::uint32_t access)
{
    return (access & (kKeySetValue | kKeyCreateSubKey | kKeyCreateLink | kDelete | kWriteDac | kWriteOwner)) != 0;
}

std::string joinKey(const std::string& parent, const char* sub)
{
    std::string s = sub != nullptr ? sub : "";
    if (parent.empty()) return s;
    if (s.empty()) return parent;
    return parent + "\\" + s;
}

Machine::Internal::OpenKey* openKey(Machine& m, const RegKey& key)
{
    auto& keys = m.internal().keys;
    auto it = keys.find(key.get());
    return it == keys.end() ? nullptr : &it->second;
}

RegKey issue(Machine& m, std::string path, std::uint32_t access)
{
    const auto id = m.internal().newId();
    auto& key = m.internal().keys[id];
    key.path = std::move(path);
    key.access = access;
    return RegKey(id);
}
}  // namespace

bool regCloseKey(std::uintptr_t key) noexcept
{
    if (Machine* m = Machine::Internal::live()) m->internal().keys.erase(key);
    return true;
}

Status regOpenKey(const RegKey* parent, const char* subKey, std::uint32_t access, RegKey& key)
{
    Machine& m = Machine::current();
    std::string base;
    if (parent != nullptr) {
        auto* p = openKey(m, *parent);
        if (p == nullptr) return kInvalidHandle;
        base = p->path;
    }
    const std::string path = joinKey(base, subKey);
    if (sim::injected(m, Op::regOpen, path, kAccessDenied)) return kAccessDenied;
    if (!m.registry().hasKey(path)) return kFileNotFound;
    access = effectiveAccess(access, m.standardUser);
    if (m.standardUser && wantsWrite(access)) return kAccessDenied;
    key = issue(m, path, access);
    return kSuccess;
}

Status regCreateKey(const char* subKey, std::uint32_t access, RegKey& key)
{
    Machine& m = Machine::current();
    const std::string path = joinKey("", subKey);
    if (sim::injected(m, Op::regCreate, path, kAccessDenied)) return kAccessDenied;
    access = effectiveAccess(access, m.standardUser);
    // A standard user may neither create a key under HKLM nor open one for writing.
    if (m.standardUser && (wantsWrite(access) || !m.registry().hasKey(path))) return kAccessDenied;
    if (!m.registry().hasKey(path)) m.noteEffect(sim::Effect::Kind::keyCreated, "HKLM\\" + path);
    m.registry().createKey(path);
    key = issue(m, path, access);
    return kSuccess;
}

Status regEnumKey(const RegKey& key, std::uint32_t index, char* name, std::uint32_t* nameLength, char* className,
                  std::uint32_t* classLength)
{
    Machine& m = Machine::current();
    auto* k = openKey(m, key);
    if (k == nullptr) return kInvalidHandle;
    if (sim::injected(m, Op::regEnum, k->path, kAccessDenied)) return kAccessDenied;
    if (name == nullptr || nameLength == nullptr) return kInvalidParameter;
    if ((k->access & kKeyEnumerateSubKeys) == 0) return kAccessDenied;
    const auto* node = m.registry().findKey(k->path);
    if (node == nullptr) return kKeyDeleted;
    if (index >= node->subkeys.size()) return kNoMoreItems;
    auto it = node->subkeys.end();
    // A walk from the first subkey per index made enumerating n subkeys cost n^2.
    if (index > 0 && index == k->enumIndex + 1 && node->subkeys.size() == k->enumCount &&
        node->subkeys.count(k->enumName) != 0)
        it = node->subkeys.upper_bound(k->enumName);
    if (it == node->subkeys.end()) it = std::next(node->subkeys.begin(), index);
    k->enumIndex = index;
    k->enumCount = node->subkeys.size();
    k->enumName = it->first;
    const std::string& found = it->second.name;
    if (found.size() >= *nameLength) return kMoreData;
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameLength = static_cast<std::uint32_t>(found.size());
    if (classLength != nullptr) {
        if (className != nullptr && *classLength > 0) className[0] = '\0';
        *classLength = 0;
    }
    return kSuccess;
}

Status regEnumValue(const RegKey& key, std::uint32_t index, char* name, std::uint32_t* nameLength)
{
    Machine& m = Machine::current();
    auto* k = openKey(m, key);
    if (k == nullptr) return kInvalidHandle;
    if (sim::injected(m, Op::regEnum, k->path, kAccessDenied)) return kAccessDenied;
    if (name == nullptr || nameLength == nullptr) return kInvalidParameter;
    if ((k->access & kKeyQueryValue) == 0) return kAccessDenied;
    const auto* node = m.registry().findKey(k->path);
    if (node == nullptr) return kKeyDeleted;
    if (index >= node->values.size()) return kNoMoreItems;
    const std::string& found = std::next(node->values.begin(), index)->second.first;
    if (found.size() >= *nameLength) return kMoreData;
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameLength = static_cast<std::uint32_t>(found.size());
    return kSuccess;
}

Status regQueryValue(const RegKey& key, const char* name, std::uint32_t* type, void* data, std::uint32_t* size)
{
    Machine& m = Machine::current();
    auto* k = openKey(m, key);
    if (k == nullptr) return kInvalidHandle;
    if (sim::injected(m, Op::regQuery, k->path, kAccessDenied)) return kAccessDenied;
    if (data != nullptr && size == nullptr) return kInvalidParameter;
    if ((k->access & kKeyQueryValue) == 0) return kAccessDenied;
    const auto* node = m.registry().findKey(k->path);
    if (node == nullptr) return kKeyDeleted;
    auto it = node->values.find(name != nullptr ? name : "");
    if (it == node->values.end()) return kFileNotFound;
    const sim::RegValue& v = it->second.second;
    const auto needed = static_cast<std::uint32_t>(v.data.size());
    if (type != nullptr) *type = v.type;
    if (data == nullptr) {
        if (size != nullptr) *size = needed;
        return kSuccess;
    }
    if (*size < needed) {
        *size = needed;
        return kMoreData;
    }
    if (needed > 0) std::memcpy(data, v.data.data(), needed);
    *size = needed;
    return kSuccess;
}

Status regSetValue(const RegKey& key, const char* name, std::uint32_t type, const void* data, std::uint32_t size)
{
    Machine& m = Machine::current();
    auto* k = openKey(m, key);
    if (k == nullptr) return kInvalidHandle;
    if (sim::injected(m, Op::regSet, k->path, kAccessDenied)) return kAccessDenied;
    if ((k->access & kKeySetValue) == 0) return kAccessDenied;
    if (data == nullptr && size > 0) return kInvalidParameter;
    if (m.registry().findKey(k->path) == nullptr) return kKeyDeleted;
    sim::RegValue v;
    v.type = type;
    if (size > 0) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        v.data.assign(bytes, bytes + size);
    }
    m.registry().setValue(k->path, name != nullptr ? name : "", std::move(v));
    m.noteEffect(sim::Effect::Kind::valueSet, "HKLM\\" + k->path, name != nullptr ? name : "");
    return kSuccess;
}

Status regDeleteValue(const RegKey& key, const char* name)
{
    Machine& m = Machine::current();
    auto* k = openKey(m, key);
    if (k == nullptr) return kInvalidHandle;
    if (sim::injected(m, Op::regDelete, k->path, kAccessDenied)) return kAccessDenied;
    if ((k->access & kKeySetValue) == 0) return kAccessDenied;
    if (m.registry().findKey(k->path) == nullptr) return kKeyDeleted;
    if (!m.registry().deleteValue(k->path, name != nullptr ? name : "")) return kFileNotFound;
    m.noteEffect(sim::Effect::Kind::valueDeleted, "HKLM\\" + k->path, name != nullptr ? name : "");
    return kSuccess;
}

}  // namespace platform

#include "model/footprint_store.h"

#include "core/log.h"
#include "model/release_table.h"
#include "platform/registry.h"

namespace ca {
namespace {

constexpr const char* kEraValue = "Footprints";

std::string where(std::string_view name) { return registryValueName(kProductKey, name); }

// The product key for `access`; `absent` when it does not exist, and any
// other failure logged.
enum class Opened { yes, absent, failed };
Opened openProductKey(const Session& session, std::uint32_t access, platform::RegKey& key,
                      platform::Status* code = nullptr)
{
    const platform::Status status = platform::regOpenKey(nullptr, kProductKey, access, key);
    if (status == platform::kSuccess) return Opened::yes;
    if (status == platform::kFileNotFound) return Opened::absent;
    logFailed(session, status, "open registry key ", registryKeyName(kProductKey));
    if (code != nullptr) *code = status;
    return Opened::failed;
}

std::vector<std::string> splitMultiString(const std::vector<char>& data, std::uint32_t size)
{
    std::vector<std::string> strings;
    for (std::size_t at = 0; at < size && data[at] != '\0';) {
        strings.emplace_back(data.data() + at);
        at += strings.back().size() + 1;
    }
    return strings;
}

// The value's strings; `no` when it is not there.
Found readMultiString(const Session& session, const platform::RegKey& key, const std::string& name,
                      std::vector<std::string>& strings, platform::Status* code)
{
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    platform::Status status = platform::regQueryValue(key, name.c_str(), &type, nullptr, &size);
    if (status == platform::kFileNotFound) return Found::no;
    if (status == platform::kSuccess && type != platform::kRegMultiSz) {
        session.log(concat("read ", where(name), ": not a REG_MULTI_SZ value"));
        if (code != nullptr) *code = platform::kInvalidParameter;
        return Found::unreadable;
    }
    std::vector<char> data(size + 2, '\0');
    if (status == platform::kSuccess) status = platform::regQueryValue(key, name.c_str(), &type, data.data(), &size);
    if (status != platform::kSuccess) {
        logFailed(session, status, "read ", where(name));
        if (code != nullptr) *code = status;
        return Found::unreadable;
    }
    strings = splitMultiString(data, size);
    return Found::yes;
}

bool setValue(const Session& session, const char* name, std::uint32_t type, const std::string& data,
              platform::Status* code = nullptr)
{
    platform::RegKey key;
    platform::Status status = platform::regCreateKey(kProductKey, platform::kKeyWrite, key);
    if (status == platform::kSuccess)
        status = platform::regSetValue(key, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
    else
        logFailed(session, status, "create registry key ", registryKeyName(kProductKey));
    if (status == platform::kSuccess) return true;
    if (key) logFailed(session, status, "write ", where(name));
    if (code != nullptr) *code = status;
    return false;
}

}  // namespace

Found readProductStrings(const Session& session, const std::string& name, std::vector<std::string>& strings,
                         platform::Status* code)
{
    platform::RegKey key;
    const Opened opened = openProductKey(session, platform::kKeyQueryValue, key, code);
    if (opened != Opened::yes) return opened == Opened::absent ? Found::no : Found::unreadable;
    return readMultiString(session, key, name, strings, code);
}

Found readFootprint(const Session& session, std::string_view folder, Footprint& footprint, platform::Status* code)
{
    const std::string name = footprintValueName(folder);
    std::vector<std::string> lines;
    const Found found = readProductStrings(session, name, lines, code);
    if (found != Found::yes) return found;
    auto parsed = Footprint::parse(lines);
    if (!parsed) {
        session.log(concat("read ", where(name), ": not a footprint this version can read"));
        if (code != nullptr) *code = platform::kInvalidParameter;
        return Found::unreadable;
    }
    footprint = std::move(*parsed);
    return Found::yes;
}

bool writeFootprint(const Session& session, const Footprint& footprint, platform::Status* code)
{
    std::string data;
    for (const std::string& line : footprint.lines()) data += line + '\0';
    data += '\0';
    const std::string name = footprintValueName(footprint.host());
    if (!setValue(session, name.c_str(), platform::kRegMultiSz, data, code)) return false;
    session.log(concat("footprint of ", escaped(footprint.host()), " recorded: ", std::to_string(footprint.items().size()),
                       footprint.items().size() == 1 ? " place" : " places"));
    return true;
}

bool storeFootprint(const Session& session, const Footprint& footprint, platform::Status* code)
{
    if (!footprint.items().empty() || !footprint.backups().empty()) return writeFootprint(session, footprint, code);
    platform::RegKey key;
    const Opened opened = openProductKey(session, platform::kKeyWrite, key, code);
    if (opened != Opened::yes) return opened == Opened::absent;
    const std::string name = footprintValueName(footprint.host());
    const platform::Status status = platform::regDeleteValue(key, name.c_str());
    if (status != platform::kSuccess && status != platform::kFileNotFound) {
        logFailed(session, status, "delete ", where(name));
        if (code != nullptr) *code = status;
        return false;
    }
    session.log(concat("footprint of ", escaped(footprint.host()), " forgotten: the add-in left nothing there"));
    return true;
}

bool listFootprints(const Session& session, std::vector<std::string>& folders)
{
    return listProductValues(session, kFootprintValuePrefix, folders);
}

bool deleteProductValue(const Session& session, const std::string& name)
{
    platform::RegKey key;
    const Opened opened = openProductKey(session, platform::kKeyWrite, key);
    if (opened != Opened::yes) return opened == Opened::absent;
    const platform::Status status = platform::regDeleteValue(key, name.c_str());
    if (status == platform::kSuccess) session.log(concat("value ", escaped(name), " deleted"));
    if (status != platform::kSuccess && status != platform::kFileNotFound)
        return logFailed(session, status, "delete ", where(name)), false;
    return true;
}

bool listProductValues(const Session& session, std::string_view prefix, std::vector<std::string>& folders)
{
    folders.clear();
    platform::RegKey key;
    const Opened opened = openProductKey(session, platform::kKeyQueryValue, key);
    if (opened != Opened::yes) return opened == Opened::absent;
    for (std::uint32_t index = 0;; ++index) {
        char name[16384];
        std::uint32_t length = sizeof name;
        const platform::Status status = platform::regEnumValue(key, index, name, &length);
        if (status == platform::kNoMoreItems) return true;
        if (status != platform::kSuccess)
            return logFailed(session, status, "list the values of ", registryKeyName(kProductKey)), false;
        const std::string_view value(name, length);
        if (value.substr(0, prefix.size()) == prefix) folders.emplace_back(value.substr(prefix.size()));
    }
}

Era footprintEra(const Session& session)
{
    platform::RegKey key;
    const Opened opened = openProductKey(session, platform::kKeyQueryValue, key);
    if (opened != Opened::yes) return opened == Opened::absent ? Era::noProduct : Era::unknown;
    std::uint32_t size = 0;
    const platform::Status status = platform::regQueryValue(key, kEraValue, nullptr, nullptr, &size);
    if (status == platform::kSuccess) return Era::footprints;
    if (status == platform::kFileNotFound) return Era::earlier;
    logFailed(session, status, "read ", where(kEraValue));
    return Era::unknown;
}

bool markFootprintEra(const Session& session)
{
    if (!setValue(session, kEraValue, platform::kRegSz, std::string("1", 2))) return false;
    session.log(concat("value ", kEraValue, " written: removal follows the hosts' footprints from now on"));
    return true;
}

}  // namespace ca

#include "deploy/product_records.h"

#include "core/properties.h"
#include "core/release_table.h"
#include "core/state.h"
#include "discovery/registry_scan.h"
#include "selection/custom_install_list.h"

#include <array>

namespace ca {
namespace {

// Every record carries the whole 260-byte buffer: the text and zeros after it.
void setRecord(const platform::RegKey& key, const char* name, const PathBuffer& folder)
{
    platform::regSetValue(key, name, platform::kRegSz, folder.c_str(), static_cast<std::uint32_t>(PathBuffer::capacity));
}

constexpr std::array<Slot, 7> kRecordOrder{Slot::creo1,   Slot::creo2,   Slot::proeWf5, Slot::proeWf4,
                                           Slot::proeWf3, Slot::proeWf2, Slot::proeWf1};

}  // namespace

void writeReleaseFolderRecords(platform::MsiHandle session)
{
    std::array<PathBuffer, kRecordOrder.size()> folders;
    for (std::size_t i = 0; i < kRecordOrder.size(); ++i)
        readProperty(session, releaseSlot(kRecordOrder[i]).folderProperty, folders[i]);

    platform::RegKey key;
    if (platform::regCreateKey(kProductKey, platform::kKeyWrite, key) != platform::kSuccess) return;
    for (std::size_t i = 0; i < kRecordOrder.size(); ++i)
        setRecord(key, releaseSlot(kRecordOrder[i]).productRecordValue, folders[i]);
}

void writeCustomFolderRecords(platform::MsiHandle session)
{
    visitListedInstallations(session, [](const CustomInstallEntry& entry, const PathBuffer& folder, bool chosen) {
        platform::RegKey key;
        if (chosen && platform::regCreateKey(kProductKey, platform::kKeyWrite, key) == platform::kSuccess)
            setRecord(key, entry.dirProperty.c_str(), folder);
        return true;
    });
}

bool productRecordExists(std::string name)
{
    platform::RegKey key;
    if (platform::regOpenKey(nullptr, kProductKey, platform::kKeyAllAccess, key) != platform::kSuccess) return false;
    FixedString<1024> data;
    std::uint32_t type = platform::kRegSz;
    std::uint32_t size = static_cast<std::uint32_t>(decltype(data)::capacity);
    return platform::regQueryValue(key, name.c_str(), &type, data.data(), &size) == platform::kSuccess;
}

bool deleteProductRecord(std::string name)
{
    platform::RegKey key;
    if (platform::regOpenKey(nullptr, kProductKey, platform::kKeyWrite, key) != platform::kSuccess) return false;
    const platform::Status status = platform::regDeleteValue(key, name.c_str());
    return status == platform::kSuccess || status == platform::kFileNotFound;
}

bool readProductRecord(const platform::RegKey& productKey, const char* name, PathBuffer& folder)
{
    return queryStringValue(productKey, name, folder);
}

}  // namespace ca

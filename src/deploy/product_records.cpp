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
void setRecord(const pf::RegKey& key, const char* name, const PathBuffer& folder)
{
    pf::regSetValue(key, name, pf::kRegSz, folder.c_str(), static_cast<std::uint32_t>(PathBuffer::capacity));
}

constexpr std::array<Slot, 7> kRecordOrder{Slot::creo1,   Slot::creo2,   Slot::proeWf5, Slot::proeWf4,
                                           Slot::proeWf3, Slot::proeWf2, Slot::proeWf1};

}  // namespace

void writeReleaseFolderRecords(pf::MsiHandle session)
{
    std::array<PathBuffer, kRecordOrder.size()> folders;
    for (std::size_t i = 0; i < kRecordOrder.size(); ++i)
        readProperty(session, releaseSlot(kRecordOrder[i]).folderProperty, folders[i]);

    pf::RegKey key;
    if (pf::regCreateKey(kProductKey, pf::kKeyWrite, key) != pf::kSuccess) return;
    for (std::size_t i = 0; i < kRecordOrder.size(); ++i)
        setRecord(key, releaseSlot(kRecordOrder[i]).productRecordValue, folders[i]);
}

void writeCustomFolderRecords(pf::MsiHandle session)
{
    visitListedInstallations(session, [](const CustomInstallEntry& entry, const PathBuffer& folder, bool chosen) {
        pf::RegKey key;
        if (chosen && pf::regCreateKey(kProductKey, pf::kKeyWrite, key) == pf::kSuccess)
            setRecord(key, entry.dirProperty.c_str(), folder);
        return true;
    });
}

bool productRecordExists(std::string name)
{
    pf::RegKey key;
    if (pf::regOpenKey(nullptr, kProductKey, pf::kKeyAllAccess, key) != pf::kSuccess) return false;
    FixedString<1024> data;
    std::uint32_t type = pf::kRegSz;
    std::uint32_t size = static_cast<std::uint32_t>(decltype(data)::capacity);
    return pf::regQueryValue(key, name.c_str(), &type, data.data(), &size) == pf::kSuccess;
}

bool deleteProductRecord(std::string name)
{
    pf::RegKey key;
    if (pf::regOpenKey(nullptr, kProductKey, pf::kKeyWrite, key) != pf::kSuccess) return false;
    const pf::Status status = pf::regDeleteValue(key, name.c_str());
    return status == pf::kSuccess || status == pf::kFileNotFound;
}

bool readProductRecord(const pf::RegKey& productKey, const char* name, PathBuffer& folder)
{
    return queryStringValue(productKey, name, folder);
}

}  // namespace ca

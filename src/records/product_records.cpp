#include "records/product_records.h"

#include "core/registry_text.h"
#include "model/release_table.h"
#include "platform/registry.h"

#include <array>

namespace ca {
namespace {

// Every record carries the whole 260-byte buffer: the text and zeros after it.
void setRecord(const platform::RegKey& key, const char* name, const PathBuffer& folder)
{
    platform::regSetValue(key, name, platform::kRegSz, folder.c_str(), static_cast<std::uint32_t>(PathBuffer::capacity));
}

}  // namespace

void writeReleaseFolderRecords(const Session& session)
{
    std::array<PathBuffer, kRecordOrder.size()> folders;
    for (std::size_t i = 0; i < kRecordOrder.size(); ++i)
        session.read(releaseSlot(kRecordOrder[i]).folderProperty, folders[i]);

    platform::RegKey key;
    if (platform::regCreateKey(kProductKey, platform::kKeyWrite, key) != platform::kSuccess) return;
    for (std::size_t i = 0; i < kRecordOrder.size(); ++i)
        setRecord(key, releaseSlot(kRecordOrder[i]).productRecordValue, folders[i]);
}

void writeListedFolderRecords(const Session& /*session*/, const ListedInstallations& listed)
{
    for (const ListedSlot& slot : listed.slots()) {
        platform::RegKey key;
        if (slot.chosen && platform::regCreateKey(kProductKey, platform::kKeyWrite, key) == platform::kSuccess)
            setRecord(key, slot.names->dirProperty, slot.folder);
    }
}

bool readProductRecord(const char* name, PathBuffer& folder)
{
    folder.clear();
    platform::RegKey key;
    if (platform::regOpenKey(nullptr, kProductKey, platform::kKeyQueryValue, key) != platform::kSuccess) return false;
    return queryStringValue(key, name, folder);
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

}  // namespace ca

#include "records/product_records.h"

#include "core/log.h"
#include "core/registry_text.h"
#include "model/release_table.h"
#include "platform/registry.h"

#include <array>

namespace ca {
namespace {

// Every record carries the whole 260-byte buffer: the text and zeros after it.
void setRecord(const Session& session, const platform::RegKey& key, const char* name, const PathBuffer& folder)
{
    const platform::Status status = platform::regSetValue(key, name, platform::kRegSz, folder.c_str(),
                                                          static_cast<std::uint32_t>(PathBuffer::capacity));
    if (status != platform::kSuccess)
        logFailed(session, status, "write ", registryValueName(kProductKey, name));
    else
        session.log(concat("record ", name, "=", shown(folder.view()), " written"));
}

bool createProductKey(const Session& session, platform::RegKey& key)
{
    const platform::Status status = platform::regCreateKey(kProductKey, platform::kKeyWrite, key);
    if (status != platform::kSuccess) logFailed(session, status, "create registry key ", registryKeyName(kProductKey));
    return status == platform::kSuccess;
}

// The product key for `access`; a failure other than its absence is logged.
bool openProductKey(const Session& session, std::uint32_t access, platform::RegKey& key)
{
    const platform::Status status = platform::regOpenKey(nullptr, kProductKey, access, key);
    if (status != platform::kSuccess && status != platform::kFileNotFound)
        logFailed(session, status, "open registry key ", registryKeyName(kProductKey));
    return status == platform::kSuccess;
}

}  // namespace

void writeReleaseFolderRecords(const Session& session)
{
    std::array<PathBuffer, kRecordOrder.size()> folders;
    for (std::size_t i = 0; i < kRecordOrder.size(); ++i)
        session.read(releaseSlot(kRecordOrder[i]).folderProperty, folders[i]);

    platform::RegKey key;
    if (!createProductKey(session, key)) return;
    for (std::size_t i = 0; i < kRecordOrder.size(); ++i)
        setRecord(session, key, releaseSlot(kRecordOrder[i]).productRecordValue, folders[i]);
}

void writeListedFolderRecords(const Session& session, const ListedInstallations& listed)
{
    for (const ListedSlot& slot : listed.slots()) {
        platform::RegKey key;
        if (slot.chosen && createProductKey(session, key)) setRecord(session, key, slot.names->dirProperty, slot.folder);
    }
}

bool readProductRecord(const Session& session, const char* name, PathBuffer& folder)
{
    folder.clear();
    platform::RegKey key;
    if (!openProductKey(session, platform::kKeyQueryValue, key)) return false;
    platform::Status status = platform::kSuccess;
    if (queryStringValue(key, name, folder, &status)) return true;
    if (queryFailed(status)) logFailed(session, status, "read ", registryValueName(kProductKey, name));
    return false;
}

bool productRecordExists(const Session& session, std::string name)
{
    platform::RegKey key;
    if (!openProductKey(session, platform::kKeyAllAccess, key)) return false;
    FixedString<1024> data;
    std::uint32_t type = platform::kRegSz;
    std::uint32_t size = static_cast<std::uint32_t>(decltype(data)::capacity);
    const platform::Status status = platform::regQueryValue(key, name.c_str(), &type, data.data(), &size);
    if (queryFailed(status)) logFailed(session, status, "read ", registryValueName(kProductKey, name));
    return status == platform::kSuccess;
}

bool deleteProductRecord(const Session& session, std::string name)
{
    platform::RegKey key;
    if (!openProductKey(session, platform::kKeyWrite, key)) return false;
    const platform::Status status = platform::regDeleteValue(key, name.c_str());
    if (status == platform::kSuccess) session.log(concat("record ", name, " deleted"));
    if (status != platform::kSuccess && status != platform::kFileNotFound)
        logFailed(session, status, "delete ", registryValueName(kProductKey, name));
    return status == platform::kSuccess || status == platform::kFileNotFound;
}

}  // namespace ca

#include "discovery/registry_scan.h"

#include "core/paths.h"

#include <cstdlib>

namespace ca {

bool queryStringValue(const platform::RegKey& key, const char* name, PathBuffer& value)
{
    value.clear();
    std::uint32_t size = PathBuffer::capacity;
    if (platform::regQueryValue(key, name, nullptr, value.data(), &size) != platform::kSuccess || size == 0) {
        value.clear();
        return false;
    }
    // 260 bytes without a terminator would be a 260-character text: it does not fit.
    if (size == PathBuffer::capacity && value.c_str()[size - 1] != '\0') {
        value.clear();
        return false;
    }
    return true;
}

bool readInstallValues(const platform::RegKey& installation, PathBuffer& datecode, PathBuffer& folder)
{
    const char* folderValue = processState().creoFamily ? "CommonFilesLocation" : "InstallDir";
    if (!queryStringValue(installation, folderValue, folder)) return false;
    return queryStringValue(installation, "DateCode", datecode);
}

bool readShipcode(const platform::RegKey& installation, PathBuffer& shipcode)
{
    if (queryStringValue(installation, "Shipcode", shipcode)) return true;
    if (!shipcode.empty()) return false;
    return queryStringValue(installation, "DateCode", shipcode);
}

bool buildDatecodeLabel(std::string_view shipcode, PathBuffer& label)
{
    label.clear();
    return label.appendAll("(", "Datecode:", " ", shipcode, ")");
}

bool scanReleaseKey(const platform::RegKey& releaseKey, PathBuffer& folder, PathBuffer& label, InstallationMap& map)
{
    for (std::uint32_t index = 0;; ++index) {
        char name[kMaxPath] = {};
        char className[kMaxPath] = {};
        std::uint32_t nameLength = kMaxPath;
        std::uint32_t classLength = kMaxPath;
        if (platform::regEnumKey(releaseKey, index, name, &nameLength, className, &classLength) != platform::kSuccess ||
            nameLength == 0)
            break;

        platform::RegKey installation;
        if (platform::regOpenKey(&releaseKey, name, platform::kKeyRead, installation) != platform::kSuccess) continue;

        PathBuffer workFolder;
        PathBuffer datecode;
        if (!readInstallValues(installation, datecode, workFolder)) continue;
        if (std::strtoll(datecode.c_str(), nullptr, 10) <= 0) continue;

        PathBuffer shipcode;
        if (!hasHostExecutable(workFolder.c_str())) continue;
        folder.assign(workFolder.view());

        if (!readShipcode(installation, shipcode)) continue;
        PathBuffer datecodeLabel;
        if (!buildDatecodeLabel(shipcode.view(), datecodeLabel)) continue;
        map.emplace(datecodeLabel.str(), workFolder.str());
        label.assign(datecodeLabel.view());
    }
    return !folder.empty();
}

}  // namespace ca

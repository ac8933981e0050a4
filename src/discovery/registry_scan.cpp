#include "discovery/registry_scan.h"

#include "core/registry_text.h"
#include "model/host_folder.h"

#include <cstdlib>

namespace ca {

bool readInstallValues(const platform::RegKey& installation, Family family, PathBuffer& datecode, PathBuffer& folder)
{
    const char* folderValue = family == Family::creoParametric ? "CommonFilesLocation" : "InstallDir";
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

bool scanReleaseKey(const platform::RegKey& releaseKey, Family family, PathBuffer& folder, PathBuffer& label,
                    InstallationMap& map)
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
        if (!readInstallValues(installation, family, datecode, workFolder)) continue;
        if (std::strtoll(datecode.c_str(), nullptr, 10) <= 0) continue;

        PathBuffer shipcode;
        if (!hasHostExecutable(workFolder.view())) continue;
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

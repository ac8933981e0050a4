#include "model/manifest.h"
#include "platform/files.h"
#include "removal/deployed_files.h"

namespace ca {

void removePrivateRuntime(const Session& /*session*/, std::string_view recordedFolder, const HostSurvey* before)
{
    // With what the folder held before, names are found as the installation
    // made them; without, the record is used as it stands.
    const HostFolder wildfire5 = before != nullptr ? HostFolder::stripped(recordedFolder)
                                                   : HostFolder::recorded(recordedFolder);
    const std::string objects = std::string(kObjectFolder) + "\\";
    for (const RuntimeFolder& runtime : privateRuntimeFolders()) {
        const std::string folder = objects + std::string(runtime.name);
        PathBuffer path;
        for (const std::string_view file : runtime.files) {
            const std::string place = folder + "\\" + std::string(file);
            if ((before == nullptr || !before->had(place)) && wildfire5.path(place, path))
                platform::deleteFile(path.c_str());
        }
        if ((before == nullptr || !before->had(folder + "\\")) && wildfire5.path(folder, path))
            platform::removeDirectory(path.c_str());
    }
    // The folders above are the host's; only a folder that the runtime alone
    // filled goes, and only when the installation left no record.
    if (before != nullptr) return;
    PathBuffer path;
    if (wildfire5.path(kObjectFolder, path)) platform::removeDirectory(path.c_str());
    if (wildfire5.path(kMachineFolder, path)) platform::removeDirectory(path.c_str());
    platform::removeDirectory(wildfire5.base().c_str());
}

}  // namespace ca

#include "core/file_work.h"
#include "core/log.h"
#include "model/manifest.h"
#include "platform/files.h"
#include "removal/deployed_files.h"

namespace ca {

void removePrivateRuntime(const Session& session, std::string_view recordedFolder, const HostSurvey* before)
{
    FileWork work(session, recordedFolder);
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
                work.deleteFile(path.c_str());
        }
        if ((before == nullptr || !before->had(folder + "\\")) && wildfire5.path(folder, path))
            work.removeFolder(path.c_str());
    }
    const std::string what = concat("removed the private runtime from ", escaped(recordedFolder));
    // The folders above are the host's; only a folder that the runtime alone
    // filled goes, and only when the installation left no record.
    if (before != nullptr) return work.summary(what);
    PathBuffer path;
    if (wildfire5.path(kObjectFolder, path)) work.removeFolder(path.c_str());
    if (wildfire5.path(kMachineFolder, path)) work.removeFolder(path.c_str());
    work.removeFolder(wildfire5.base().c_str());
    work.summary(what);
}

}  // namespace ca

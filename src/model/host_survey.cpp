#include "model/host_survey.h"

#include "core/text.h"
#include "model/host_folder.h"
#include "model/manifest.h"

namespace ca {

std::string placeBelowHost(const Place& place)
{
    std::string path = place.root == Root::hostObjects ? std::string(kObjectFolder) + "\\" : std::string();
    return path + std::string(place.path);
}

bool HostSurvey::had(std::string_view relative) const { return places_.count(lowerCased(relative)) != 0; }

void HostSurvey::add(std::string_view relative) { places_.insert(lowerCased(relative)); }

std::vector<std::string> placesInHost()
{
    std::vector<std::string> places;
    for (const ManifestEntry& entry : addInManifest()) {
        if (entry.item == Item::stagedOnly) continue;
        places.push_back(placeBelowHost(entry.installed) + (entry.item == Item::file ? "" : "\\"));
    }
    for (const RuntimeFolder& runtime : privateRuntimeFolders()) {
        const std::string folder = std::string(kObjectFolder) + "\\" + std::string(runtime.name) + "\\";
        places.push_back(folder);
        for (const std::string_view file : runtime.files) places.push_back(folder + std::string(file));
    }
    places.emplace_back(kRegistrationFile);
    return places;
}

}  // namespace ca

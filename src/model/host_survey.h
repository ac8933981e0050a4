// What a host folder held, before the add-in first wrote into it, of the
// places the add-in writes to. Removal takes away only what is not in it.
#pragma once

#include "model/manifest.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ca {

class HostSurvey {
public:
    // `relative` below the host folder, in any case; a folder ends in "\".
    bool had(std::string_view relative) const;
    void add(std::string_view relative);
    const std::set<std::string>& places() const { return places_; }

private:
    std::set<std::string> places_;  // lower case
};

// Every place, below a host folder, that the add-in may write to: the
// manifest's files and folders, the private runtime folders and their
// files, and the registration file. A folder ends in "\"; the files that a
// folder of the list holds are surveyed with it.
std::vector<std::string> placesInHost();

// A manifest place in a host, as a path below the host folder.
std::string placeBelowHost(const Place& place);

}  // namespace ca

// What the package must place in the staging area for the actions to find,
// derived from the library's manifest: `ca-sim manifest` lists it, the
// package build makes its sample payload from that list, and the demo
// machine stages it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace casim {

struct StagedEntry {
    std::string path;  // below the staging area, Windows form; a folder's ends in '\'
    bool folder = false;  // a folder whose files are copied whole: any files may stand in it
    std::string what;     // where it goes, for a reader
};

// The staged files (each release build's under its staging subfolder, the
// runtime folders under the Wildfire 5.0 build's) and the staged folders, in
// the manifest's order, each path once.
std::vector<StagedEntry> stagedPayload();

// The payload as stand-in files below `folder` (the all-users folder, as
// Windows names it): (path, content) for each staged file, and one file in
// each staged folder.
std::vector<std::pair<std::string, std::string>> payloadStandIns(const std::string& folder);

}  // namespace casim

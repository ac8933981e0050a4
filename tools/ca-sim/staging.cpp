#include "staging.h"

#include "model/host_folder.h"
#include "model/manifest.h"
#include "model/release_table.h"

#include "platform/sim/machine.h"

#include <set>

namespace casim {
namespace {

std::string joined(std::string_view folder, std::string_view name)
{
    if (folder.empty()) return std::string(name);
    if (name.empty()) return std::string(folder);
    return std::string(folder) + "\\" + std::string(name);
}

std::string hostPlace(const ca::Place& place)
{
    return place.root == ca::Root::hostObjects ? joined(ca::kObjectFolder, place.path) : std::string(place.path);
}

class Payload {
public:
    void add(std::string path, bool folder, std::string what)
    {
        if (folder) path += "\\";
        if (seen_.insert(path).second) entries_.push_back({std::move(path), folder, std::move(what)});
    }
    std::vector<StagedEntry> entries() && { return std::move(entries_); }

private:
    std::vector<StagedEntry> entries_;
    std::set<std::string, sim::NoCaseLess> seen_;  // each path once, whatever its case
};

void addEntry(Payload& payload, const ca::ManifestEntry& e)
{
    const std::string target = hostPlace(e.installed);
    const std::string kept = e.staging == ca::Staging::kept ? "; the package keeps it staged" : "";
    switch (e.staged.root) {
    case ca::Root::staging:
        return payload.add(std::string(e.staged.path), e.item == ca::Item::folderFiles,
                           (e.item == ca::Item::folderFiles ? "its files copied into " : "copied to ") + target + kept);
    case ca::Root::stagedObjects:
        return payload.add(joined(ca::kObjectFolder, e.staged.path), false, "copied to " + target + kept);
    case ca::Root::releaseBuild:
        for (const ca::ReleaseSlot& slot : ca::kReleaseSlots)
            if (ca::includes(e.releases, slot.code))
                payload.add(joined(slot.stagingSubfolder, e.staged.path), false,
                            std::string("the ") + slot.release + " build, copied to " + target);
        return;
    case ca::Root::host:
    case ca::Root::hostObjects: return;  // nothing staged
    }
}

}  // namespace

std::vector<StagedEntry> stagedPayload()
{
    Payload payload;
    for (const ca::ManifestEntry& entry : ca::addInManifest())
        if (entry.item == ca::Item::file || entry.item == ca::Item::folderFiles) addEntry(payload, entry);
    const std::string_view build = ca::releaseSlot(ca::Slot::proeWf5).stagingSubfolder;
    for (const ca::RuntimeFolder& runtime : ca::privateRuntimeFolders())
        for (const std::string_view file : runtime.files)
            payload.add(joined(joined(build, runtime.name), file), false,
                        "runtime for a Wildfire 5.0 folder without the host executable, copied to " +
                            joined(joined(ca::kObjectFolder, runtime.name), file));
    return std::move(payload).entries();
}

std::vector<std::pair<std::string, std::string>> payloadStandIns(const std::string& folder)
{
    std::vector<std::pair<std::string, std::string>> files;
    for (const StagedEntry& e : stagedPayload()) {
        const std::string path = joined(folder, e.path + (e.folder ? "orvella.res" : ""));
        files.emplace_back(path, "staged " + e.path + (e.folder ? "orvella.res" : "") + "\r\n");
    }
    return files;
}

}  // namespace casim

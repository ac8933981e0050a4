#include "records/earlier_version.h"

#include "core/digest.h"
#include "core/log.h"
#include "core/outcome.h"
#include "core/paths.h"
#include "core/registry_text.h"
#include "core/text.h"
#include "model/footprint_store.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/registry.h"

#include <set>
#include <vector>

namespace ca {
namespace {

constexpr std::string_view kSurveyPrefix = "Before ";

// A host the earlier version reached, and how.
struct EarlierHost {
    std::string folder;
    bool listed = false;   // a WFCUSTOM_DIR_* record: it deployed there
    bool release = false;  // an Install_*_dir record: resources, perhaps the runtime
    bool module = false;   // its protk.dat holds the entry: at least the module
};

class Hosts {
public:
    EarlierHost& at(std::string_view folder)
    {
        const std::string key = lowerCased(footprintValueName(folder));
        for (std::size_t i = 0; i < keys_.size(); ++i)
            if (keys_[i] == key) return hosts_[i];
        keys_.push_back(key);
        hosts_.push_back({std::string(folder)});
        return hosts_.back();
    }
    std::vector<EarlierHost>& all() { return hosts_; }

private:
    std::vector<std::string> keys_;
    std::vector<EarlierHost> hosts_;
};

// The recorded folders; false when a record could not be read.
bool gatherRecords(const Session& session, Hosts& hosts)
{
    platform::RegKey key;
    platform::Status status = platform::regOpenKey(nullptr, kProductKey, platform::kKeyQueryValue, key);
    if (status != platform::kSuccess)
        return logFailed(session, status, "open registry key ", registryKeyName(kProductKey)), false;
    const auto read = [&](const char* name, bool EarlierHost::*kind) {
        PathBuffer folder;
        if (queryStringValue(key, name, folder, &status) && !folder.empty()) hosts.at(folder.view()).*kind = true;
        if (!queryFailed(status)) return true;
        return logFailed(session, status, "read ", registryValueName(kProductKey, name)), false;
    };
    for (const CustomSlotNames& slot : kCustomSlots)
        if (!read(slot.dirProperty, &EarlierHost::listed)) return false;
    for (const Slot slot : kRecordOrder)
        if (!read(releaseSlot(slot).productRecordValue, &EarlierHost::release)) return false;
    return true;
}

// The folders this run names whose protk.dat holds the entry.
void gatherRegistered(const Session& session, const std::function<bool(std::string_view)>& registered, Hosts& hosts)
{
    std::vector<const char*> properties{kBrowsedFolderProperty};
    for (const ReleaseSlot& slot : kReleaseSlots) properties.push_back(slot.folderProperty);
    for (const CustomSlotNames& slot : kCustomSlots) properties.push_back(slot.dirProperty);
    for (const char* property : properties) {
        PathBuffer folder;
        session.read(property, folder);
        if (!folder.empty() && registered(folder.view())) hosts.at(folder.view()).module = true;
    }
}

// One host's footprint, made of what stands at the add-in's places.
class Adoption {
public:
    Adoption(const Session& session, const EarlierHost& earlier, const std::set<std::string>& hostHad)
        : session_(session), host_(HostFolder::stripped(earlier.folder)), hostHad_(hostHad), footprint_(earlier.folder)
    {
        footprint_.setEarlier();
        footprint_.items().push_back({Mark::entry, Domain::registration, "", {}, {}});
    }
    Footprint& footprint() { return footprint_; }

    void folder(const std::string& place, Domain domain)
    {
        if (isFolder(place) && !had(place + "\\") && !footprint_.find(Mark::folder, place))
            footprint_.items().push_back({Mark::folder, domain, place, {}, {}});
    }
    void file(const std::string& place, Domain domain)
    {
        PathBuffer path;
        ContentDigest content;
        if (had(place) || footprint_.findFile(place) || !host_.path(place, path) ||
            platform::getFileAttributes(path.c_str()) == platform::kInvalidFileAttributes || isFolder(place))
            return;
        if (!digestFile(path.c_str(), content)) {
            const platform::Status code = platform::lastError();
            // A file it cannot tell is the add-in's would later pass for the host's.
            if (!platform::isHeldElsewhere(code))
                return logFailed(session_, code, "read ", escaped(path.view())), void(failed_ = true);
            // A running host holds what it loaded from there, and nothing of
            // the host's stands at this place: the earlier version's file,
            // whose content the footprint cannot know.
            session_.log(concat(escaped(path.view()), " is in use: taken for the earlier version's"));
            footprint_.items().push_back({Mark::file, domain, place, {}, {}});
            return;
        }
        footprint_.items().push_back({Mark::file, domain, place, {content}, {}});
    }
    void folderFiles(const std::string& place, Domain domain)
    {
        folder(place, domain);
        PathBuffer pattern;
        if (!isFolder(place) || !host_.path(place + "\\*", pattern)) return;
        platform::DirEntry entry;
        platform::Listing listing = platform::Listing::first(pattern.c_str(), entry);
        if (!listing)
            return logFailed(session_, platform::lastError(), "list ", escaped(pattern.view())), void(failed_ = true);
        for (platform::Status status = platform::kSuccess;; status = listing.next(entry)) {
            if (status == platform::kNoMoreFiles) return;
            if (status != platform::kSuccess)
                return logFailed(session_, status, "list ", escaped(pattern.view())), void(failed_ = true);
            if (!entry.isDirectory) file(place + "\\" + entry.name, domain);
        }
    }
    bool knowsHost() const { return !hostHad_.empty(); }
    // Something could not be read or listed: the footprint would be incomplete.
    bool failed() const { return failed_; }

private:
    bool had(const std::string& place) const { return hostHad_.count(lowerCased(place)) != 0; }
    bool isFolder(const std::string& place) const
    {
        PathBuffer path;
        const std::uint32_t a = host_.path(place, path) ? platform::getFileAttributes(path.c_str()) : 0;
        return a != platform::kInvalidFileAttributes && (a & platform::kFileAttributeDirectory) != 0;
    }

    const Session& session_;
    HostFolder host_;
    const std::set<std::string>& hostHad_;
    Footprint footprint_;
    bool failed_ = false;
};

void adoptPlaces(Adoption& adoption, const EarlierHost& earlier, Manifest manifest)
{
    const std::string objects = std::string(kObjectFolder) + "\\";
    if (earlier.listed) {
        for (const ManifestEntry& entry : manifest) {
            const std::string place = placeBelowHost(entry.installed);
            if (entry.item == Item::folder) adoption.folder(place, Domain::deployment);
            if (entry.item == Item::folderFiles) adoption.folderFiles(place, Domain::deployment);
            // Without a survey, whose a runtime file is cannot be told: it stays.
            if (entry.item == Item::file && (entry.sharing == Sharing::addInOnly || adoption.knowsHost()))
                adoption.file(place, Domain::deployment);
        }
    }
    if (earlier.module || earlier.listed) adoption.file(objects + std::string(kModuleName), Domain::deployment);
    if (earlier.release) adoption.folderFiles(std::string(kMessageResources), Domain::resources);
    // The private runtime went only into a folder without the host executable;
    // the earlier version's removal took the object folder and the machine
    // folder above it too, once they were empty, and so does the footprint.
    if (earlier.release && !hasHostExecutable(earlier.folder)) {
        adoption.folder(std::string(kMachineFolder), Domain::runtime);
        adoption.folder(std::string(kObjectFolder), Domain::runtime);
        for (const RuntimeFolder& runtime : privateRuntimeFolders()) {
            const std::string folder = objects + std::string(runtime.name);
            adoption.folder(folder, Domain::runtime);
            for (const std::string_view file : runtime.files) adoption.file(folder + "\\" + std::string(file), Domain::runtime);
        }
    }
}

// What a dev build's survey says the host had before it first wrote there.
bool readSurvey(const Session& session, std::string_view folder, std::set<std::string>& had, std::string& name)
{
    std::string stripped(folder);
    stripTrailingSeparator(stripped);
    // The development build named its survey with every byte lower-cased: so it is found.
    name = std::string(kSurveyPrefix);
    for (const char c : stripped) name += lowerAscii(c);
    std::vector<std::string> places;
    if (readProductStrings(session, name, places) == Found::unreadable) return false;
    for (const std::string& place : places) had.insert(lowerCased(place));
    return true;
}

bool adoptHost(const Session& session, const EarlierHost& earlier, Manifest manifest)
{
    Footprint existing;
    const Found found = readFootprint(session, earlier.folder, existing);
    if (found != Found::no) return found == Found::yes;  // taken in by an earlier run
    std::set<std::string> had;
    std::string survey;
    if (!readSurvey(session, earlier.folder, had, survey)) return false;
    Adoption adoption(session, earlier, had);
    adoptPlaces(adoption, earlier, manifest);
    if (adoption.failed()) return false;
    session.log(concat(escaped(earlier.folder), " was reached by an earlier version: its files there are taken into "
                       "its footprint"));
    return writeFootprint(session, adoption.footprint()) && (had.empty() || deleteProductValue(session, survey));
}

}  // namespace

bool adoptEarlierVersion(const Session& session, Manifest manifest, Moment moment,
                         const std::function<bool(std::string_view folder)>& registered)
{
    const Era era = footprintEra(session);
    if (era == Era::footprints || (era == Era::noProduct && moment == Moment::removing)) return true;
    const char* property = moment == Moment::installing ? kInstallErrorProperty : kRemoveErrorProperty;
    const auto fail = [&] {
        const platform::Status code = lastFailureCode();
        reportHostFailure(session, property, "the earlier version's hosts", registryKeyName(kProductKey),
                          "could not be taken into footprints", code);
        return false;
    };
    if (era == Era::unknown) return fail();
    Hosts hosts;
    if (era == Era::earlier && !gatherRecords(session, hosts)) return fail();
    gatherRegistered(session, registered, hosts);
    for (const EarlierHost& host : hosts.all())
        if (!adoptHost(session, host, manifest)) return fail();
    return markFootprintEra(session) || fail();
}

}  // namespace ca

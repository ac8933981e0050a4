// cleanupProEAuxAppInFile: on removal, takes the add-in out of every host
// installation it may have reached: every host with a footprint loses its
// entry first, then what the deployment and the registration wrote there;
// then the release slots and the browsed slot (from their properties) and
// the recorded release folders lose any entry of ours that is left.
#include "core/boundary.h"
#include "core/log.h"
#include "core/outcome.h"
#include "core/paths.h"
#include "core/text.h"
#include "model/chosen_releases.h"
#include "model/footprint_store.h"
#include "model/host_failure.h"
#include "model/release_table.h"
#include "records/earlier_version.h"
#include "records/product_records.h"
#include "registration/registration_file.h"
#include "removal/host_removal.h"

#include <algorithm>
#include <set>
#include <string>

namespace ca {
namespace {

FileOwner ownerOf(const Footprint& footprint)
{
    if (footprint.has(Mark::registration)) return FileOwner::addIn;
    return footprint.earlier() ? FileOwner::unknown : FileOwner::host;
}

std::string identity(std::string_view folder) { return lowerCased(footprintValueName(folder)); }

// Takes the entry out of a folder's protk.dat once per folder, however its
// name is written, unless its footprint saw to it already. A folder with no
// footprint never received anything of this version: its protk.dat is the host's.
class Unregistration {
public:
    Unregistration(const Session& session, const std::vector<std::string>& done) : session_(session)
    {
        for (const std::string& folder : done) done_.insert(identity(folder));
    }
    void folder(const PathBuffer& folder)
    {
        if (folder.empty() || !done_.insert(identity(folder.view())).second) return;
        if (!removeAuxAppEntry(session_, folder.view(), FileOwner::host))
            reportRegistrationFailure(session_, kRemoveErrorProperty, folder.view());
    }

private:
    const Session& session_;
    std::set<std::string> done_;
};

// A listed installation's record goes with the last of what the deployment
// wrote there: a host that keeps any of it keeps its record.
void deleteListedRecords(const Session& session, const RemovalOutcome& outcome)
{
    for (const CustomSlotNames& slot : kCustomSlots) {
        PathBuffer folder;
        if (!productRecordExists(session, slot.dirProperty)) continue;
        readProductRecord(session, slot.dirProperty, folder);
        const bool kept = !folder.empty() && std::any_of(outcome.unfinished.begin(), outcome.unfinished.end(),
                                      [&](const std::string& f) { return identity(f) == identity(folder.view()); });
        if (kept)
            session.log(concat("record ", slot.dirProperty, " kept: ", escaped(folder.view()), " is not clean"));
        else
            deleteProductRecord(session, slot.dirProperty);
    }
}

unsigned cleanupProEAuxAppInFile(const Session& session)
{
    logProperties(session, {kBrowsedFolderProperty});
    logReleaseFolders(session, kRecordOrder);
    const auto registered = [&session](std::string_view folder) { return holdsAuxAppEntry(session, folder); };
    const bool adopted = adoptEarlierVersion(session, addInManifest(), Moment::removing, registered);
    const RemovalOutcome outcome =
        removeFromFootprints(session, {Domain::deployment, Domain::registration}, [&session](const Footprint& f) {
            return removeAuxAppEntry(session, f.host(), ownerOf(f));
        });
    Unregistration unregistration(session, outcome.visited);
    PathBuffer folder;
    // Every release slot whose folder is known is cleaned, chosen or not. A
    // folder too long to take was never registered.
    const auto byProperty = [&](const char* name) {
        const FolderProperty property = readFolderProperty(session, name);
        if (property.tooLong()) session.log(concat(property.tooLongText(), ": no entry taken out there"));
        unregistration.folder(property.folder);
    };
    for (const Slot slot : kRecordOrder) byProperty(releaseSlot(slot).folderProperty);
    byProperty(kBrowsedFolderProperty);
    // A folder that the installation was given but detection no longer finds
    // is still recorded; removal only ever takes out our entry.
    for (const Slot slot : kRecordOrder)
        if (readProductRecord(session, releaseSlot(slot).productRecordValue, folder)) unregistration.folder(folder);
    // Without footprints for the earlier version's hosts, their records are all that finds them.
    if (adopted) deleteListedRecords(session, outcome);
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(cleanupProEAuxAppInFile, ca::cleanupProEAuxAppInFile)

// cleanupProEAuxAppInFile: on removal, takes the add-in out of every host
// installation it may have reached. The listed installations are found
// through their records, the release slots and the browsed slot through
// their properties and then through their records too.
#include "core/boundary.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/text.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "records/product_records.h"
#include "registration/registration_file.h"
#include "removal/deployed_files.h"

#include <set>
#include <string>

namespace ca {
namespace {

FileOwner ownerOf(std::optional<bool> hostHadFile)
{
    if (!hostHadFile) return FileOwner::unknown;
    return *hostHadFile ? FileOwner::host : FileOwner::addIn;
}

// Every recorded listed installation is cleaned before any record goes, so
// that a failure half-way leaves the rest findable by the next removal.
void removeListedInstallations(const Session& session)
{
    std::set<const char*> uncleaned;
    for (const CustomSlotNames& slot : kCustomSlots) {
        PathBuffer folder;
        std::optional<HostSurvey> before;
        if (!readProductRecord(session, slot.dirProperty, folder)) continue;
        // Without knowing what is the host's, nothing is deleted; the record
        // stays for the next removal.
        if (!readHostSurvey(session, folder.view(), before)) {
            session.log(concat(escaped(folder.view()), " left as it is, with its record ", slot.dirProperty,
                               ": what it held before cannot be read"));
            uncleaned.insert(slot.dirProperty);
            continue;
        }
        removeDeployedFiles(session, folder.view(), before ? &*before : nullptr,
                            [&session](std::string_view base, std::optional<bool> hostHadFile) {
                                removeAuxAppEntry(session, base, ownerOf(hostHadFile));
                            });
    }
    for (const CustomSlotNames& slot : kCustomSlots)
        if (!uncleaned.count(slot.dirProperty) && productRecordExists(session, slot.dirProperty))
            deleteProductRecord(session, slot.dirProperty);
}

// Takes the entry out of a folder's protk.dat once per folder, however its
// name is written.
class Unregistration {
public:
    explicit Unregistration(const Session& session) : session_(session) {}
    void folder(const PathBuffer& folder)
    {
        std::string key(folder.view());
        stripTrailingSeparator(key);
        key = lowerCased(key);
        if (folder.empty() || !done_.insert(key).second) return;
        std::optional<HostSurvey> before;
        // A record that cannot be read tells nothing: the file is then the host's.
        if (!readHostSurvey(session_, folder.view(), before))
            removeAuxAppEntry(session_, folder.view(), FileOwner::host);
        else
            removeAuxAppEntry(session_, folder.view(),
                              ownerOf(before ? std::optional<bool>(before->had(kRegistrationFile)) : std::nullopt));
    }

private:
    const Session& session_;
    std::set<std::string> done_;
};

unsigned cleanupProEAuxAppInFile(const Session& session)
{
    removeListedInstallations(session);
    Unregistration unregistration(session);
    PathBuffer folder;
    // Every release slot whose folder is known is cleaned, chosen or not.
    for (const Slot slot : kRecordOrder) {
        session.read(releaseSlot(slot).folderProperty, folder);
        unregistration.folder(folder);
    }
    session.read(kBrowsedFolderProperty, folder);
    unregistration.folder(folder);
    // A folder that the installation was given but detection no longer finds
    // is still recorded; removal only ever takes out our entry.
    for (const Slot slot : kRecordOrder)
        if (readProductRecord(session, releaseSlot(slot).productRecordValue, folder)) unregistration.folder(folder);
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(cleanupProEAuxAppInFile, ca::cleanupProEAuxAppInFile)

// cleanupProEAuxAppInFile: on removal, takes the add-in out of every host
// installation it may have reached. The listed installations are found
// through their records, the release slots and the browsed slot through
// their properties and then through their records too.
#include "core/boundary.h"
#include "core/log.h"
#include "core/outcome.h"
#include "core/paths.h"
#include "core/text.h"
#include "model/host_failure.h"
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

// A host whose removal could not finish keeps its record for the next one.
void recordUnreadable(const Session& session, std::string_view folder)
{
    const platform::Status code = lastFailureCode();
    session.log(concat(escaped(folder), " left as it is, with its records: what it held before cannot be read"));
    reportHostFailure(session, kRemoveErrorProperty, folder, registryKeyName(kProductKey), "could not be read", code);
}

// Per recorded listed installation, the entry first: a host that keeps it
// keeps every file it names, and its record. Every host is cleaned before
// any record goes, so that a failure half-way leaves the rest findable.
void removeListedInstallations(const Session& session)
{
    std::set<const char*> uncleaned;
    for (const CustomSlotNames& slot : kCustomSlots) {
        PathBuffer folder;
        std::optional<HostSurvey> before;
        if (!readProductRecord(session, slot.dirProperty, folder)) continue;
        if (!readHostSurvey(session, folder.view(), before)) {
            recordUnreadable(session, folder.view());
            uncleaned.insert(slot.dirProperty);
            continue;
        }
        const std::optional<bool> hostHadFile =
            before ? std::optional<bool>(before->had(kRegistrationFile)) : std::nullopt;
        if (!removeAuxAppEntry(session, HostFolder::given(folder.view()).base().view(), ownerOf(hostHadFile))) {
            session.log(concat(escaped(folder.view()), " keeps the add-in's files and its record ", slot.dirProperty,
                               ": its Orvella entry could not be taken out"));
            reportRegistrationFailure(session, kRemoveErrorProperty, folder.view());
            uncleaned.insert(slot.dirProperty);
            continue;
        }
        removeDeployedFiles(session, folder.view(), before ? &*before : nullptr,
                            [](std::string_view, std::optional<bool>) {});
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
        const bool known = readHostSurvey(session_, folder.view(), before);
        const FileOwner owner =
            !known ? FileOwner::host
                   : ownerOf(before ? std::optional<bool>(before->had(kRegistrationFile)) : std::nullopt);
        if (!removeAuxAppEntry(session_, folder.view(), owner))
            reportRegistrationFailure(session_, kRemoveErrorProperty, folder.view());
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

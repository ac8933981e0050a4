// clearTempCommon: finishes the installation's file work (the runtime for a
// Wildfire 5.0 folder without the host, the add-in in every chosen listed
// installation, the records) and then empties the staging area.
#include "actions/install_steps.h"
#include "core/boundary.h"
#include "core/log.h"
#include "core/outcome.h"
#include "core/paths.h"
#include "deployment/deploy.h"
#include "identification/release_identification.h"
#include "model/chosen_releases.h"
#include "model/host_failure.h"
#include "model/listed_installations.h"
#include "model/release_table.h"
#include "records/earlier_version.h"
#include "records/product_records.h"
#include "registration/registration_file.h"
#include "removal/staging_cleanup.h"

namespace ca {
namespace {

// Only a command-line installation that chose Wildfire 5.0 stages the
// runtime, and only into a folder without the host executable.
void stageRuntimeFor(const Session& session, const RuntimeFolder& runtime, SourceDigests& digests)
{
    const ReleaseSlot& slot = releaseSlot(Slot::proeWf5);
    const FolderProperty wildfire5 = readFolderProperty(session, slot.folderProperty);
    if (!session.equals("ISCMDINSTALL", "1") || !session.equals(slot.name, "1")) {
        session.log(concat("no ", runtime.name, ": only a command line that chose Wildfire 5.0 stages it"));
        return;
    }
    if (wildfire5.tooLong()) return session.log(concat("no ", runtime.name, " staged: ", wildfire5.tooLongText()));
    stageRuntime(session, runtime, wildfire5.folder.view(), digests);
}

void deployListedInstallations(const Session& session, Manifest manifest, SourceDigests& digests)
{
    const ListedInstallations listed = ListedInstallations::read(session);
    listed.logChosen(session);
    ReleaseIdentifier identifier(session);
    for (const ListedSlot& slot : listed.slots()) {
        if (slot.chosen && slot.tooLong()) {
            session.log(concat("nothing goes into ", slot.names->dirProperty, ": it holds ",
                               std::to_string(slot.folderLength), " characters, more than 259"));
            continue;
        }
        if (!slot.chosen || slot.folder.empty()) {
            if (slot.inUse)
                session.log(concat(slot.names->checkProperty, " is not ticked: nothing goes into ",
                                   slot.names->dirProperty, "=", shown(slot.folder.view())));
            continue;
        }
        const HostFolder host = HostFolder::given(slot.folder.view());
        // Registered even when copies failed: the entry names where the module belongs.
        if (deployToInstallation(session, host, identifier.identify(slot.folder.view()), manifest, digests) &&
            recordEntryAhead(session, slot.folder.view()) && !addAuxAppEntry(session, slot.folder.view()))
            reportRegistrationFailure(session, kInstallErrorProperty, slot.folder.view());
    }
    writeListedFolderRecords(session, listed);
}

unsigned clearTempCommonOfThisBuild(const Session& session) { return clearTempCommon(session, addInManifest()); }

}  // namespace

unsigned clearTempCommon(const Session& session, Manifest manifest)
{
    const ReleaseSlot& wildfire5 = releaseSlot(Slot::proeWf5);
    logProperties(session, {"ISCMDINSTALL", wildfire5.name, wildfire5.folderProperty, "ALLUSERSPROFILE"});
    const auto registered = [&session](std::string_view folder) { return holdsAuxAppEntry(session, folder); };
    // The earlier version wrote this build's files, whatever build deploys now:
    // a file a later build drops must still be taken into the footprint.
    if (adoptEarlierVersion(session, addInManifest(), Moment::installing, registered)) {
        SourceDigests digests;
        stageRuntimeFor(session, kMfcRuntime, digests);
        logReleaseFolders(session, kRecordOrder);
        writeReleaseFolderRecords(session);
        stageRuntimeFor(session, kCrtRuntime, digests);
        deployListedInstallations(session, manifest, digests);
    }
    // The installer's ALLUSERSPROFILE property starts as the environment variable
    // the deployment reads; a command line may point the property elsewhere, and
    // the cleanup then clears only that folder.
    FolderProperty staging = readFolderProperty(session, "ALLUSERSPROFILE");
    stripTrailingSeparator(staging.folder);
    // An empty staging area names no folder: nothing at the drive's root goes.
    if (staging.tooLong())
        session.log(concat(staging.tooLongText(), ": no staging area to clear"));
    else if (!staging.folder.empty())
        clearStagingArea(session, staging.folder.view(), manifest);
    else
        session.log("ALLUSERSPROFILE is empty: no staging area to clear");
    return 0;
}

}  // namespace ca

CA_EXPORT_ACTION(clearTempCommon, ca::clearTempCommonOfThisBuild)

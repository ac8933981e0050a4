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
#include "model/host_failure.h"
#include "model/listed_installations.h"
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
    PathBuffer wildfire5;
    session.read("PROEWF5DIR", wildfire5);
    if (!session.equals("ISCMDINSTALL", "1") || !session.equals("PROEWF5", "1")) {
        session.log(concat("no ", runtime.name, ": only a command line that chose Wildfire 5.0 stages it"));
        return;
    }
    stageRuntime(session, runtime, wildfire5.view(), digests);
}

void deployListedInstallations(const Session& session, Manifest manifest, SourceDigests& digests)
{
    const ListedInstallations listed = ListedInstallations::read(session);
    ReleaseIdentifier identifier(session);
    for (const ListedSlot& slot : listed.slots()) {
        if (!slot.chosen || slot.folder.empty()) {
            if (!slot.folder.empty())
                session.log(concat(slot.names->checkProperty, " is not ticked: nothing goes into ", escaped(slot.folder.view())));
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
    logProperties(session, {"ISCMDINSTALL", "PROEWF5", "PROEWF5DIR", "ALLUSERSPROFILE"});
    const auto registered = [&session](std::string_view folder) { return holdsAuxAppEntry(session, folder); };
    // The earlier version wrote this build's files, whatever build deploys now:
    // a file a later build drops must still be taken into the footprint.
    if (adoptEarlierVersion(session, addInManifest(), Moment::installing, registered)) {
        SourceDigests digests;
        stageRuntimeFor(session, kMfcRuntime, digests);
        writeReleaseFolderRecords(session);
        stageRuntimeFor(session, kCrtRuntime, digests);
        deployListedInstallations(session, manifest, digests);
    }
    // The installer's ALLUSERSPROFILE property starts as the environment variable
    // the deployment reads; a command line may point the property elsewhere, and
    // the cleanup then clears only that folder.
    PathBuffer staging;
    session.read("ALLUSERSPROFILE", staging);
    stripTrailingSeparator(staging);
    // An empty staging area names no folder: nothing at the drive's root goes.
    if (!staging.empty())
        clearStagingArea(session, staging.view(), manifest);
    else
        session.log("ALLUSERSPROFILE is empty: no staging area to clear");
    return 0;
}

}  // namespace ca

CA_EXPORT_ACTION(clearTempCommon, ca::clearTempCommonOfThisBuild)

// clearTempCommon: finishes the installation's file work (the runtime for a
// Wildfire 5.0 folder without the host, the add-in in every chosen listed
// installation, the records) and then empties the staging area.
#include "core/boundary.h"
#include "core/outcome.h"
#include "model/host_failure.h"
#include "core/log.h"
#include "core/paths.h"
#include "deployment/deploy.h"
#include "identification/release_identification.h"
#include "model/listed_installations.h"
#include "model/manifest.h"
#include "records/product_records.h"
#include "registration/registration_file.h"
#include "removal/deployed_files.h"

namespace ca {
namespace {

// Only a command-line installation that chose Wildfire 5.0 stages the
// runtime, and only into a folder without the host executable.
void stageRuntimeFor(const Session& session, const RuntimeFolder& runtime)
{
    PathBuffer wildfire5;
    session.read("PROEWF5DIR", wildfire5);
    if (!session.equals("ISCMDINSTALL", "1") || !session.equals("PROEWF5", "1")) {
        session.log(concat("no ", runtime.name, ": only a command line that chose Wildfire 5.0 stages it"));
        return;
    }
    recordHostSurvey(session, wildfire5.view());
    stageRuntime(session, runtime, wildfire5.view());
}

void deployListedInstallations(const Session& session)
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
        recordHostSurvey(session, slot.folder.view());
        // Registered even when copies failed: the entry names where the module belongs.
        if (deployToInstallation(session, host, identifier.identify(slot.folder.view())) &&
            !addAuxAppEntry(session, slot.folder.view()))
            reportRegistrationFailure(session, kInstallErrorProperty, slot.folder.view());
    }
    writeListedFolderRecords(session, listed);
}

unsigned clearTempCommon(const Session& session)
{
    logProperties(session, {"ISCMDINSTALL", "PROEWF5", "PROEWF5DIR", "ALLUSERSPROFILE"});
    stageRuntimeFor(session, kMfcRuntime);
    writeReleaseFolderRecords(session);
    stageRuntimeFor(session, kCrtRuntime);
    deployListedInstallations(session);

    PathBuffer staging;
    session.read("ALLUSERSPROFILE", staging);
    stripTrailingSeparator(staging);
    // An empty staging area names no folder: nothing at the drive's root goes.
    if (!staging.empty())
        clearStagingArea(session, staging.view());
    else
        session.log("ALLUSERSPROFILE is empty: no staging area to clear");
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(clearTempCommon, ca::clearTempCommon)

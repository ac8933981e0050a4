// addProEAuxAppInFile: registers the add-in, with host-relative paths, in
// the registration file of every chosen release slot and of the browsed
// slot. Listed installations are registered by the deployment instead.
#include "core/boundary.h"
#include "core/log.h"
#include "core/outcome.h"
#include "deployment/deploy.h"
#include "model/chosen_releases.h"
#include "model/host_failure.h"
#include "records/earlier_version.h"
#include "registration/registration_file.h"

namespace ca {
namespace {

// The entry goes into the host's footprint before it goes into protk.dat.
// A folder too long to take cannot be registered: that is the verdict.
void registerIn(const Session& session, const FolderProperty& folder, std::string_view what)
{
    if (folder.tooLong()) return reportFolderTooLong(session, folder, what);
    if (recordEntryAhead(session, folder.folder.view()) && !addAuxAppEntry(session, folder.folder.view()))
        reportRegistrationFailure(session, kInstallErrorProperty, folder.folder.view());
}

unsigned addProEAuxAppInFile(const Session& session)
{
    logProperties(session, {kBrowsedSlot, kBrowsedFolderProperty});
    logChosenReleaseFolders(session, kRecordOrder);
    const auto registered = [&session](std::string_view folder) { return holdsAuxAppEntry(session, folder); };
    if (!adoptEarlierVersion(session, addInManifest(), Moment::installing, registered)) return 0;
    forEachChosenRelease(session, kRecordOrder, [&session](const ReleaseSlot& slot, const FolderProperty& folder) {
        registerIn(session, folder, slot.release);
        return true;
    });
    const FolderProperty browsed = readFolderProperty(session, kBrowsedFolderProperty);
    if (!session.equals(kBrowsedSlot, "1")) return 0;
    if (browsed.tooLong() || !browsed.folder.empty()) registerIn(session, browsed, "the browsed folder");
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(addProEAuxAppInFile, ca::addProEAuxAppInFile)

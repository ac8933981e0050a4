// copyProeDllToMoreInstall: puts the add-in module, in the build for its
// release, into the browsed slot's installation.
#include "core/boundary.h"
#include "core/log.h"
#include "deployment/deploy.h"
#include "identification/release_identification.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "records/earlier_version.h"
#include "registration/registration_file.h"

#include <cstdlib>

namespace ca {
namespace {

// The property naming the staging folder of the build for a release. This
// action's own choice: a folder of another release 5.0 takes the Creo
// Parametric 1.0 build, a Creo Parametric 1.0 folder the 2.0 build, and a
// code that only a command line can give, the Wildfire 5.0 build.
const char* buildProperty(ReleaseCode code)
{
    if (code == kOtherRelease5) return releaseSlot(Slot::creo1).stagingProperty;
    if (code == kCreo1) return releaseSlot(Slot::creo2).stagingProperty;
    const ReleaseSlot* slot = releaseSlotOf(code);
    return (slot != nullptr ? *slot : releaseSlot(Slot::proeWf5)).stagingProperty;
}

// On a command-line installation the release is the one PROEM1VER gives;
// the folder is not examined.
ReleaseCode browsedRelease(const Session& session, std::string_view folder)
{
    if (!session.equals("ISCMDINSTALL", "1")) return ReleaseIdentifier(session).identify(folder);
    PathBuffer version;
    session.read(kBrowsedVersionProperty, version);
    session.log(concat("a command line: the release is ", kBrowsedVersionProperty, "=", shown(version.view())));
    return std::atoi(version.c_str());
}

unsigned copyProeDllToMoreInstall(const Session& session)
{
    logProperties(session, {"ISCMDINSTALL", kBrowsedSlot, kBrowsedFolderProperty});
    const FolderProperty browsed = readFolderProperty(session, kBrowsedFolderProperty);
    const PathBuffer& folder = browsed.folder;
    if (!session.equals(kBrowsedSlot, "1") || (folder.empty() && !browsed.tooLong())) {
        session.log("the browsed slot is not chosen: no module copied");
        return 0;
    }
    if (browsed.tooLong()) {
        session.log(concat(browsed.tooLongText(), ": no module copied"));
        return 0;
    }

    const ReleaseCode code = browsedRelease(session, folder.view());
    if (code == kNotRecognised) {
        session.log("the browsed folder's release is not known: no module copied");
        return 0;
    }
    const FolderProperty build = readFolderProperty(session, buildProperty(code));
    if (build.tooLong() || build.folder.empty()) {
        session.log(concat(build.tooLong() ? build.tooLongText() : concat(build.name, " names no staged build"),
                           ": no module copied"));
        return 0;
    }
    session.log(concat("the module's build for release ", std::to_string(code), ": ", build.name, "=",
                       shown(build.folder.view())));
    const auto registered = [&session](std::string_view f) { return holdsAuxAppEntry(session, f); };
    if (!adoptEarlierVersion(session, addInManifest(), Moment::installing, registered)) return 0;
    SourceDigests digests;
    copyModule(session, build.folder.view(), HostFolder::stripped(folder.view()), digests);
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(copyProeDllToMoreInstall, ca::copyProeDllToMoreInstall)

// copyCMDresourcetoUSASCII: copies the add-in's resources into
// text\usascii\resource of every release slot's folder, then records those
// folders. Nothing when the browsed slot is chosen.
#include "core/boundary.h"
#include "core/log.h"
#include "core/text.h"
#include "deployment/deploy.h"
#include "model/chosen_releases.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "records/earlier_version.h"
#include "records/product_records.h"
#include "registration/registration_file.h"

namespace ca {
namespace {

unsigned copyCMDresourcetoUSASCII(const Session& session)
{
    logProperties(session, {kBrowsedSlot, "USASCIIM1"});
    PathBuffer value;
    session.read(kBrowsedSlot, value);
    if (equalsIgnoringCase(value.view(), "1")) {
        session.log("the browsed slot is chosen: no resources copied, no records written");
        return 0;
    }

    // USASCIIM1 ends in a separator; without it the source would be
    // "resource" in the current folder.
    PathBuffer source;
    const FolderProperty staged = readFolderProperty(session, "USASCIIM1");
    const bool haveSource = !staged.folder.empty() && source.appendAll(staged.folder.view(), "resource");
    if (staged.tooLong())
        session.log(concat(staged.tooLongText(), ": no resources copied"));
    else if (!haveSource)
        session.log("USASCIIM1 names no staged resource folder: no resources copied");

    logReleaseFolders(session, kRecordOrder);
    const auto registered = [&session](std::string_view folder) { return holdsAuxAppEntry(session, folder); };
    if (!adoptEarlierVersion(session, addInManifest(), Moment::installing, registered)) return 0;
    SourceDigests digests;
    for (const Slot slot : kRecordOrder) {
        const FolderProperty folder = readFolderProperty(session, releaseSlot(slot).folderProperty);
        if (!haveSource) continue;
        if (folder.tooLong()) session.log(concat(folder.tooLongText(), ": no resources copied there"));
        if (!folder.folder.empty())
            copyResources(session, source.view(), HostFolder::stripped(folder.folder.view()), digests);
    }
    writeReleaseFolderRecords(session);
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(copyCMDresourcetoUSASCII, ca::copyCMDresourcetoUSASCII)

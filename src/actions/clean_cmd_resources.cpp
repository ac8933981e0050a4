// cleanCmdResources: on removal, takes the add-in's resources out of
// text\usascii\resource of every recorded release folder.
#include "core/boundary.h"
#include "core/log.h"
#include "model/release_table.h"
#include "records/product_records.h"
#include "removal/deployed_files.h"

namespace ca {
namespace {

unsigned cleanCmdResources(const Session& session)
{
    for (const Slot slot : kRecordOrder) {
        PathBuffer folder;
        // A slot never detected is recorded empty; it names no folder.
        std::optional<HostSurvey> before;
        if (!readProductRecord(session, releaseSlot(slot).productRecordValue, folder) || folder.empty()) continue;
        if (readHostSurvey(session, folder.view(), before))
            removeMessageResources(session, folder.view(), before ? &*before : nullptr);
        else
            session.log(concat(escaped(folder.view()), " left as it is: what it held before cannot be read"));
    }
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(cleanCmdResources, ca::cleanCmdResources)

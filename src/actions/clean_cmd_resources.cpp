// cleanCmdResources: on removal, takes the add-in's resources out of
// text\usascii\resource of every recorded release folder.
#include "core/boundary.h"
#include "core/log.h"
#include "core/outcome.h"
#include "model/release_table.h"
#include "records/product_records.h"
#include "removal/deployed_files.h"

namespace ca {
namespace {

void leftUnread(const Session& session, std::string_view folder)
{
    const platform::Status code = lastFailureCode();
    session.log(concat(escaped(folder), " left as it is: what it held before cannot be read"));
    reportHostFailure(session, kRemoveErrorProperty, folder, registryKeyName(kProductKey), "could not be read", code);
}

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
            leftUnread(session, folder.view());
    }
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(cleanCmdResources, ca::cleanCmdResources)

// cleanupDependancies: on removal, deletes the private runtime folders that
// the runtime staging put into the recorded Wildfire 5.0 folder. 1 once that
// removal ran.
#include "core/boundary.h"
#include "core/log.h"
#include "core/outcome.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "records/product_records.h"
#include "removal/deployed_files.h"

namespace ca {
namespace {

unsigned cleanupDependancies(const Session& session)
{
    PathBuffer wildfire5;
    const char* record = releaseSlot(Slot::proeWf5).productRecordValue;
    if (!readProductRecord(session, record, wildfire5)) {
        session.log(concat("no record ", record, ": no private runtime to remove"));
        return 0;
    }
    // The runtime went only into a folder without the host executable.
    if (wildfire5.empty() || hasHostExecutable(wildfire5.view())) {
        session.log(concat("record ", record, "=", shown(wildfire5.view()),
                           wildfire5.empty() ? ": no folder" : ": it holds the host executable",
                           ", so no private runtime went there"));
        return 0;
    }
    std::optional<HostSurvey> before;
    if (!readHostSurvey(session, wildfire5.view(), before)) {
        const platform::Status code = lastFailureCode();
        session.log(concat(escaped(wildfire5.view()), " left as it is: what it held before cannot be read"));
        reportHostFailure(session, kRemoveErrorProperty, wildfire5.view(), registryKeyName(kProductKey),
                          "could not be read", code);
        return 0;
    }
    removePrivateRuntime(session, wildfire5.view(), before ? &*before : nullptr);
    return 1;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(cleanupDependancies, ca::cleanupDependancies)

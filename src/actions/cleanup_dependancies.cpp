// cleanupDependancies: on removal, deletes the private runtime folders that
// the runtime staging put into the recorded Wildfire 5.0 folder. 1 once that
// removal ran.
#include "core/boundary.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "records/product_records.h"
#include "removal/deployed_files.h"

namespace ca {
namespace {

unsigned cleanupDependancies(const Session& session)
{
    PathBuffer wildfire5;
    if (!readProductRecord(releaseSlot(Slot::proeWf5).productRecordValue, wildfire5)) return 0;
    // The runtime went only into a folder without the host executable.
    if (wildfire5.empty() || hasHostExecutable(wildfire5.view())) return 0;
    std::optional<HostSurvey> before;
    if (!readHostSurvey(wildfire5.view(), before)) return 0;
    removePrivateRuntime(session, wildfire5.view(), before ? &*before : nullptr);
    return 1;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(cleanupDependancies, ca::cleanupDependancies)

// cleanCmdResources: on removal, empties text\usascii\resource of every
// recorded release folder and removes what that leaves empty.
#include "core/boundary.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "records/product_records.h"
#include "removal/tree_removal.h"

namespace ca {
namespace {

unsigned cleanCmdResources(const Session& session)
{
    for (const Slot slot : kRecordOrder) {
        PathBuffer folder;
        // A slot never detected is recorded empty; it names no folder.
        if (readProductRecord(releaseSlot(slot).productRecordValue, folder) && !folder.empty())
            removeResourceTree(session, folder.view(), kMessageResources, true);
    }
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(cleanCmdResources, ca::cleanCmdResources)

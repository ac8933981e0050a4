// Removal of the add-in from every host installation it may have reached.
#pragma once

#include "platform/types.h"

namespace ca {

// Cleans every listed installation recorded under the product key, then
// deletes those records.
void cleanupCustomInstalls(platform::MsiHandle session);

}  // namespace ca

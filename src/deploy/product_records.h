// The product's registry records: the host folders the add-in reached, as
// string values under HKEY_LOCAL_MACHINE\Software\Kestrane\Orvella. Written
// during installation, read back by removal to find the folders again.
#pragma once

#include "core/fixed_string.h"
#include "platform/registry.h"
#include "platform/types.h"

#include <string>

namespace ca {

// The seven fixed-slot folders, empty ones included.
void writeReleaseFolderRecords(platform::MsiHandle session);

// The folder of every ticked listed installation, named after its folder property.
void writeCustomFolderRecords(platform::MsiHandle session);

bool productRecordExists(std::string name);

// True when the value is gone (or was never there).
bool deleteProductRecord(std::string name);

// A recorded folder from the open product key; false when it cannot be read or
// does not fit 260 bytes.
bool readProductRecord(const platform::RegKey& productKey, const char* name, PathBuffer& folder);

}  // namespace ca

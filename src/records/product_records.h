// The product's registry records: the host folders the add-in reached, as
// string values under HKEY_LOCAL_MACHINE\Software\Kestrane\Orvella. Written
// during installation, read back by removal to find the folders again.
#pragma once

#include "core/fixed_string.h"
#include "core/session.h"
#include "model/listed_installations.h"

#include <string>
#include <string_view>

namespace ca {

// The seven release slots' folders, empty ones included. Each record
// written, and each failure, is logged.
void writeReleaseFolderRecords(const Session& session);

// The folder of every chosen listed installation, named after its folder property.
void writeListedFolderRecords(const Session& session, const ListedInstallations& listed);

// A recorded folder; false when there is no product key or no such record,
// or it does not fit 260 bytes. A failure to read is logged.
bool readProductRecord(const Session& session, const char* name, PathBuffer& folder);

bool productRecordExists(const Session& session, std::string name);

// True when the value is gone (or was never there); logged either way.
bool deleteProductRecord(const Session& session, std::string name);

}  // namespace ca

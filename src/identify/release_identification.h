// Which host release a folder holds, told from the host's own files.
#pragma once

#include "core/release_table.h"

#include <string>

namespace ca {

// The release of `folder` (with or without one trailing separator); 0 when it
// cannot be told, or when a derived path would not fit its buffer.
ReleaseCode identifyRelease(const char* folder);

// Release text, shipcode and datecode from the folder's installation log (or,
// without a log, from the release descriptor read earlier in this action).
// Outputs whose keyword never appears keep what the caller passed in.
void readInstallLog(const char* folder, std::string& release, std::string& shipcode, std::string& datecode);

}  // namespace ca

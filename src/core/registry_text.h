// Registry values read as the library takes them: text that fits a 260-byte
// buffer with its terminating zero, whatever type the value claims.
#pragma once

#include "core/fixed_string.h"
#include "platform/registry.h"

namespace ca {

// Reads into a cleared buffer offered its 260 bytes; true when the query
// succeeded with some data and the text fits with its terminator. `status`,
// when given, receives the query's own code.
bool queryStringValue(const platform::RegKey& key, const char* name, PathBuffer& value,
                      platform::Status* status = nullptr);

// The query failed for a reason other than a missing or oversized value: a
// failure of the system, which the caller logs.
inline bool queryFailed(platform::Status status)
{
    return status != platform::kSuccess && status != platform::kFileNotFound && status != platform::kMoreData;
}

}  // namespace ca

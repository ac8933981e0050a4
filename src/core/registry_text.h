// Registry values read as the library takes them: text that fits a 260-byte
// buffer with its terminating zero, whatever type the value claims.
#pragma once

#include "core/fixed_string.h"
#include "platform/registry.h"

namespace ca {

// Reads into a cleared buffer offered its 260 bytes; true when the query
// succeeded with some data and the text fits with its terminator.
bool queryStringValue(const platform::RegKey& key, const char* name, PathBuffer& value);

}  // namespace ca

// The installations of one host release, as its registry key lists them.
#pragma once

#include "core/fixed_string.h"
#include "core/state.h"
#include "platform/registry.h"

#include <string_view>

namespace ca {

// Walks the installation subkeys of an open release key. Every usable
// installation goes into `map`; `folder` and `label` end with the last one
// found. The caller sets creoFamily to choose the folder value. True when
// `folder` holds a folder afterwards.
bool scanReleaseKey(const platform::RegKey& releaseKey, PathBuffer& folder, PathBuffer& label, InstallationMap& map);

// The folder value and "DateCode" of one installation subkey.
bool readInstallValues(const platform::RegKey& installation, PathBuffer& datecode, PathBuffer& folder);

// "Shipcode", or "DateCode" when there is none; `shipcode` arrives zero-filled.
bool readShipcode(const platform::RegKey& installation, PathBuffer& shipcode);

// "(Datecode: " + shipcode + ")", or false when it would not fit.
bool buildDatecodeLabel(std::string_view shipcode, PathBuffer& label);

// A string value read into a cleared buffer offered its 260 bytes; true when
// the query succeeded with some data and the text fits with its terminator.
bool queryStringValue(const platform::RegKey& key, const char* name, PathBuffer& value);

}  // namespace ca

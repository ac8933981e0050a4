// Installer properties as the actions read and write them.
#pragma once

#include "core/fixed_string.h"
#include "platform/installer.h"

#include <string_view>

namespace ca {

// Reads a property into `value`, offering the buffer's whole capacity (the
// count is reset before every read because the installer overwrites it).
// `value` is cleared first; a value that does not fit reads as empty, so a
// truncated folder is never taken for a real one.
template <std::size_t N>
platform::Status readProperty(platform::MsiHandle session, const char* name, FixedString<N>& value)
{
    value.clear();
    std::uint32_t count = static_cast<std::uint32_t>(N);
    const platform::Status status = platform::msiGetProperty(session, name, value.data(), &count);
    if (status != platform::kSuccess)
        value.clear();
    else
        value.terminate();
    return status;
}

// Writes a property; the empty text removes it. The result is not needed by any caller.
void setProperty(platform::MsiHandle session, const char* name, std::string_view value);
inline void removeProperty(platform::MsiHandle session, const char* name) { setProperty(session, name, ""); }

// True when the property holds exactly `expected` (byte for byte).
bool propertyEquals(platform::MsiHandle session, const char* name, std::string_view expected);

}  // namespace ca

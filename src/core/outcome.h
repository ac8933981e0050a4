// What the package must learn about a host that an action could not finish:
// a chosen host left without the add-in at installation, or a host that
// removal could not leave clean. The package fails the run on either.
#pragma once

#include "core/session.h"
#include "platform/types.h"

#include <string_view>

namespace ca {

inline constexpr const char* kInstallErrorProperty = "ORVELLA_INSTALL_ERROR";
inline constexpr const char* kRemoveErrorProperty = "ORVELLA_REMOVE_ERROR";

// Publishes the failure in `property`: "<host>: <path> <reason> (error
// <code>: <system text>)" for the session's first, and for each later one
// " (and N more: see the installer log)" counted on; every one is logged.
// Nothing ever clears the property.
void reportHostFailure(const Session& session, const char* property, std::string_view host, std::string_view path,
                       std::string_view reason, platform::Status code);

// The code that a failed call left, for a failure that a feature logged and
// reported as false: the last error, or ERROR_FUNCTION_FAILED when none is left.
platform::Status lastFailureCode();

}  // namespace ca

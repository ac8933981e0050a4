// Reports of a host left unfinished, for the registration file.
#pragma once

#include "core/session.h"

#include <string_view>

namespace ca {

// The host's protk.dat did not take (or give up) the Orvella entry: in
// `property`, with the code the failure left.
void reportRegistrationFailure(const Session& session, const char* property, std::string_view folder);

}  // namespace ca

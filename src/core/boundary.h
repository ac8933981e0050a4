// The one entry shape of every exported action: a session for the action,
// and nothing escapes it.
#pragma once

#include "core/session.h"
#include "platform/types.h"

namespace ca {

using ActionBody = unsigned (*)(const Session& session);

// Runs `body` for the installer; any exception (std::bad_alloc included)
// ends the action with `resultOnFailure`.
unsigned runAction(platform::MsiHandle handle, const char* action, ActionBody body,
                   unsigned resultOnFailure = 0) noexcept;

}  // namespace ca

// Defines the exported action `name` as `body` run through the boundary.
#define CA_EXPORT_ACTION(name, body)                                       \
    extern "C" unsigned CA_CALL name(platform::MsiHandle session)          \
    {                                                                      \
        return ca::runAction(session, #name, body);                        \
    }

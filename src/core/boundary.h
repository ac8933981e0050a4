// The one entry shape of every exported action: the process-wide state is
// back in its load-time form, the UI level is known, and nothing escapes.
#pragma once

#include "platform/types.h"

namespace ca {

using ActionBody = unsigned (*)(platform::MsiHandle session);

// Runs `body` for the installer; any exception (std::bad_alloc included)
// ends the action with `resultOnFailure`.
unsigned runAction(platform::MsiHandle session, ActionBody body, unsigned resultOnFailure = 0) noexcept;

// Tells the user something: a modal message box when the installer shows a
// user interface, the installer log otherwise, so that a silent installation
// is never left waiting for a click.
void tellUser(const char* text, const char* caption, unsigned style);

}  // namespace ca

// Defines the exported action `name` as `body` run through the boundary.
#define CA_EXPORT_ACTION(name, body)                                       \
    extern "C" unsigned CA_CALL name(platform::MsiHandle session)                \
    {                                                                      \
        return ca::runAction(session, body);                               \
    }

#include "core/boundary.h"

#include "core/log.h"

#include <exception>

#ifndef CA_VERSION
#define CA_VERSION "0.0.0"
#endif

namespace ca {

unsigned runAction(platform::MsiHandle handle, const char* action, ActionBody body, unsigned resultOnFailure) noexcept
{
    try {
        const Session session(handle, action);
        session.log(concat("Entering ", action, " in CustomActions.dll, version ", CA_VERSION));
        try {
            return body(session);
        } catch (const std::exception& e) {
            // Logging may fail for the same reason; the outer handler still returns.
            session.log(concat("stopped by an unexpected failure (", e.what(), "); returning ",
                               std::to_string(resultOnFailure)));
            return resultOnFailure;
        }
    } catch (...) {
        return resultOnFailure;
    }
}

}  // namespace ca

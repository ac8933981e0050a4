#include "core/boundary.h"

namespace ca {

unsigned runAction(platform::MsiHandle handle, const char* action, ActionBody body, unsigned resultOnFailure) noexcept
{
    try {
        const Session session(handle, action);
        return body(session);
    } catch (...) {
        return resultOnFailure;
    }
}

}  // namespace ca

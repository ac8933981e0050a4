#include "core/boundary.h"

#include "core/properties.h"
#include "core/state.h"
#include "platform/installer.h"
#include "platform/shell.h"

#include <cstdlib>
#include <string>

namespace ca {
namespace {

constexpr int kUiLevelNone = 2;

int readUiLevel(platform::MsiHandle session)
{
    FixedString<16> value;
    if (readProperty(session, "UILevel", value) != platform::kSuccess || value.empty()) return -1;
    char* end = nullptr;
    const long level = std::strtol(value.c_str(), &end, 10);
    return *end == '\0' ? static_cast<int>(level) : -1;
}

}  // namespace

unsigned runAction(platform::MsiHandle session, ActionBody body, unsigned resultOnFailure) noexcept
{
    try {
        resetProcessState();
        actionContext().session = session;
        actionContext().uiLevel = readUiLevel(session);
        const unsigned result = body(session);
        resetProcessState();
        return result;
    } catch (...) {
        resetProcessState();
        return resultOnFailure;
    }
}

void tellUser(const char* text, const char* caption, unsigned style)
{
    const ActionContext& context = actionContext();
    if (context.uiLevel > kUiLevelNone) {
        platform::messageBox(text, caption, style);
        return;
    }
    const std::string line = std::string(caption) + ": " + text;
    platform::msiLogInfo(context.session, line.c_str());
}

}  // namespace ca

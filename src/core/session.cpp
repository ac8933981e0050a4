#include "core/session.h"

#include "platform/shell.h"

#include <cstdlib>
#include <string>

namespace ca {
namespace {

constexpr int kUiLevelNone = 2;

int readUiLevel(const Session& session)
{
    FixedString<16> value;
    if (session.read("UILevel", value) != platform::kSuccess || value.empty()) return -1;
    char* end = nullptr;
    const long level = std::strtol(value.c_str(), &end, 10);
    return *end == '\0' ? static_cast<int>(level) : -1;
}

}  // namespace

Session::Session(platform::MsiHandle handle, const char* action) : handle_(handle), action_(action), uiLevel_(-1)
{
    uiLevel_ = readUiLevel(*this);
}

bool Session::equals(const char* name, std::string_view expected) const
{
    PathBuffer value;
    read(name, value);
    return value == expected;
}

void Session::set(const char* name, std::string_view value) const
{
    const std::string text(value);
    platform::msiSetProperty(handle_, name, text.c_str());
}

void Session::log(std::string_view text) const
{
    const std::string line = std::string(action_) + ": " + std::string(text);
    platform::msiLogInfo(handle_, line.c_str());
}

void Session::tellUser(const char* text, const char* caption, unsigned style) const
{
    if (uiLevel_ > kUiLevelNone) {
        platform::messageBox(text, caption, style);
        return;
    }
    const std::string line = std::string(caption) + ": " + text;
    platform::msiLogInfo(handle_, line.c_str());
}

}  // namespace ca

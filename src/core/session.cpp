#include "core/session.h"

#include "core/log.h"
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

Session::Session(platform::MsiHandle handle, const char* action) : handle_(handle), action_(action) {}

int Session::uiLevel() const
{
    if (!uiLevelRead_) {
        uiLevelRead_ = true;
        uiLevel_ = readUiLevel(*this);
    }
    return uiLevel_;
}

void Session::readFailed(const char* name, platform::Status status, std::uint32_t length, std::size_t capacity) const
{
    if (status == platform::kMoreData) {
        log(concat("property ", name, " holds ", std::to_string(length), " characters, more than ",
                   std::to_string(capacity - 1), ": read as empty"));
        return;
    }
    logFailed(*this, status, "read property ", name);
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
    const platform::Status status = platform::msiSetProperty(handle_, name, text.c_str());
    if (status != platform::kSuccess) logFailed(*this, status, "set property ", name, " to ", shown(value));
}

void Session::log(std::string_view text) const
{
    const std::string line = std::string(action_) + ": " + std::string(text);
    platform::msiLogInfo(handle_, line.c_str());
}

void Session::tellUser(const char* text, const char* caption, unsigned style) const
{
    if (uiLevel() > kUiLevelNone) {
        platform::messageBox(text, caption, style);
        return;
    }
    log(std::string(caption) + ": " + text);
}

}  // namespace ca

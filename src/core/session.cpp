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

std::size_t Session::wholeLength(const char* name, std::uint32_t offered) const
{
    const std::string whole = readWhole(name);
    return whole.empty() ? offered : whole.size();
}

void Session::readFailed(const char* name, platform::Status status, std::size_t length, std::size_t capacity) const
{
    if (status == platform::kMoreData) {
        log(concat("property ", name, " holds ", std::to_string(length), " characters, more than ",
                   std::to_string(capacity - 1), ": it does not fit, and none of it is taken"));
        return;
    }
    logFailed(*this, status, "read property ", name);
}

std::string Session::readWhole(const char* name) const
{
    std::uint32_t count = 0;
    char none[1] = {};
    platform::Status status = platform::msiGetProperty(handle_, name, none, &count);
    if (status == platform::kSuccess) return {};
    std::string value(count + 1, '\0');
    count = static_cast<std::uint32_t>(value.size());
    if (status == platform::kMoreData) status = platform::msiGetProperty(handle_, name, value.data(), &count);
    if (status != platform::kSuccess) {
        logFailed(*this, status, "read property ", name);
        return {};
    }
    value.resize(count);
    return value;
}

std::string FolderProperty::tooLongText() const
{
    return concat(name, " holds ", std::to_string(length), " characters, more than ",
                  std::to_string(PathBuffer::capacity - 1));
}

FolderProperty readFolderProperty(const Session& session, const char* name)
{
    FolderProperty property;
    property.name = name;
    session.read(name, property.folder, &property.length);
    return property;
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

// The shapes every action's lines in the installer log share: values shown
// readably, and one form for a system call that failed.
#pragma once

#include "core/session.h"
#include "platform/types.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace ca {

template <typename... Pieces>
std::string concat(const Pieces&... pieces)
{
    std::string text;
    (text.append(std::string_view(pieces)), ...);
    return text;
}

// A value in quotes, each character outside printable ASCII, and the
// quotation mark, as \xNN, and cut after 160 characters with its length
// said, so that a hostile value can neither flood the log, break its lines
// nor end its quotes and pass for another value.
std::string shown(std::string_view value);
// Text whose every character outside printable ASCII (and '"') is shown as
// \xNN; paths keep their length, since the path is the point of their line.
std::string escaped(std::string_view text);

// "error 5 (Access is denied.)"; an HRESULT in hexadecimal.
std::string errorDescription(platform::Status code);

// "<what> failed: error <code> (<text>)". The caller reads `code` right
// after the failing call, before anything else can reach the system.
template <typename... Pieces>
void logFailed(const Session& session, platform::Status code, const Pieces&... what)
{
    session.log(concat(what...) + " failed: " + errorDescription(code));
}

// One line with the properties that decide the action's path:
// `NAME="value"`, each value as shown() gives it.
void logProperties(const Session& session, std::initializer_list<const char*> names);

// HKLM\ and the key below it, as the log names a registry key.
std::string registryKeyName(std::string_view below, std::string_view subKey = {});
// "NAME of HKLM\KEY", as the log names a registry value.
std::string registryValueName(std::string_view key, std::string_view value);

}  // namespace ca

#include "core/pending_restart.h"

#include "core/log.h"
#include "core/paths.h"
#include "platform/registry.h"

namespace ca {

std::string foldedPath(std::string_view path)
{
    // By characters: a trail byte neither folds nor separates.
    std::string out;
    bool separated = false;  // the last character was a separator
    for (std::size_t i = 0; i < path.size(); i += charLength(path, i)) {
        const char c = path[i];
        const bool separator = charLength(path, i) == 1 && isSeparator(c);
        if (charLength(path, i) == 2)
            out += path.substr(i, 2);
        else if (!separator)
            out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        else if (!separated)
            out += '\\';
        separated = separator;
    }
    return out;
}

std::vector<std::string> pendingRestartPaths(const Session& session)
{
    std::vector<std::string> paths;
    platform::RegKey key;
    const platform::Status opened = platform::regOpenKey(nullptr, kSessionManagerKey, platform::kKeyQueryValue, key);
    if (opened == platform::kFileNotFound) return paths;
    if (opened != platform::kSuccess)
        return logFailed(session, opened, "open registry key ", registryKeyName(kSessionManagerKey)), paths;
    const std::string what = concat("read ", kPendingRenamesValue, " of ", registryKeyName(kSessionManagerKey));
    std::uint32_t size = 0;
    platform::Status queried = platform::regQueryValue(key, kPendingRenamesValue, nullptr, nullptr, &size);
    if (queried == platform::kFileNotFound) return paths;
    std::vector<char> data(size + 2, '\0');
    if (queried == platform::kSuccess) queried = platform::regQueryValue(key, kPendingRenamesValue, nullptr, data.data(), &size);
    if (queried != platform::kSuccess) return logFailed(session, queried, what), paths;
    // Pairs of strings: a source, then a target ("!" before it replaces; empty: a deletion).
    for (std::size_t at = 0; at < size;) {
        std::string_view path(data.data() + at);
        at += path.size() + 1;
        if (!path.empty() && path.front() == '!') path.remove_prefix(1);
        if (path.substr(0, 4) == "\\??\\") path.remove_prefix(4);
        if (!path.empty()) paths.push_back(foldedPath(path));
    }
    return paths;
}

}  // namespace ca

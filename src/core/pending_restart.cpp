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

namespace {

// The list's strings in order, each folded; a deletion's target is empty.
std::vector<std::string> pendingRestartList(const Session& session)
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
        // The list's closing NUL is no deletion's empty target.
        if (path.empty() && at + 1 >= size) break;
        at += path.size() + 1;
        if (!path.empty() && path.front() == '!') path.remove_prefix(1);
        if (path.substr(0, 4) == "\\??\\") path.remove_prefix(4);
        paths.push_back(foldedPath(path));
    }
    if (paths.size() % 2 != 0) paths.pop_back();  // a source without its target is no operation
    return paths;
}

}  // namespace

std::vector<std::string> pendingRestartPaths(const Session& session)
{
    std::vector<std::string> paths = pendingRestartList(session);
    std::erase(paths, std::string());
    return paths;
}

bool deletedAtRestart(const Session& session, std::string_view path)
{
    const std::string folded = foldedPath(path);
    const std::vector<std::string> list = pendingRestartList(session);
    bool deleted = false;
    for (std::size_t i = 0; i + 1 < list.size(); i += 2) {
        if (list[i] == folded) deleted = list[i + 1].empty();
        else if (list[i + 1] == folded) deleted = false;  // moved into place
    }
    return deleted;
}

}  // namespace ca

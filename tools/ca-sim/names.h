// Windows names (files, folders, registry keys) compare without case, as the
// simulated machine compares them.
#pragma once

#include "platform/sim/machine.h"

#include <string>

namespace casim {

inline bool sameName(const std::string& a, const std::string& b)
{
    const sim::NoCaseLess less;
    return !less(a, b) && !less(b, a);
}

// `path` is `folder` itself or lies below it.
inline bool atOrBelow(const std::string& path, const std::string& folder)
{
    return sameName(path.substr(0, folder.size()), folder) && (path.size() == folder.size() || path[folder.size()] == '\\');
}

}  // namespace casim

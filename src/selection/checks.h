// Checks of the user's choice before anything is changed: a browsed folder
// that repeats a chosen release's folder, and registration files that
// cannot be written.
#pragma once

#include "core/fixed_string.h"
#include "core/session.h"
#include "model/listed_installations.h"

#include <optional>
#include <string>
#include <string_view>

namespace ca {

// `folder` is exactly the folder of a chosen release slot (case and
// separators count), looked for in the duplicate-check order.
bool isChosenReleaseFolder(const Session& session, std::string_view folder);

// A chosen folder whose registration file cannot be opened for appending.
struct Unwritable {
    const char* property;  // the folder property
    std::string folder;    // its whole value, as the property holds it
    std::string reason;    // why not, for the log
};

// The first chosen release slot in the access-check order, then the browsed
// slot (chosen or not), whose registration file cannot be opened for
// appending, or whose folder is too long to take; none when every one can.
// `checked` gathers NAME="folder" of each folder found writable.
std::optional<Unwritable> firstUnwritableReleaseFolder(const Session& session, std::string& checked);

// The same for the chosen listed installations, in slot order.
std::optional<Unwritable> firstUnwritableListedFolder(const Session& session, const ListedInstallations& listed,
                                                      std::string& checked);

}  // namespace ca

// Checks of the user's choice before anything is changed: a browsed folder
// that repeats a chosen release's folder, and registration files that
// cannot be written.
#pragma once

#include "core/fixed_string.h"
#include "core/session.h"
#include "model/listed_installations.h"

#include <optional>
#include <string_view>

namespace ca {

// `folder` is exactly the folder of a chosen release slot (case and
// separators count), looked for in the duplicate-check order.
bool isChosenReleaseFolder(const Session& session, std::string_view folder);

// The folder, as its property holds it, of the first chosen release slot in
// the access-check order whose registration file cannot be opened for
// appending; none when every one can. Each failed open is logged.
std::optional<PathBuffer> firstUnwritableReleaseFolder(const Session& session);

// The first chosen listed installation whose registration file cannot be
// opened for appending; none when every one can. The check stops there.
const ListedSlot* firstUnwritableListedFolder(const Session& session, const ListedInstallations& listed);

}  // namespace ca

// The installation actions whose work follows the add-in's manifest, with the
// manifest passed in: the exports pass this build's, a test another build's.
#pragma once

#include "core/session.h"
#include "model/manifest.h"

namespace ca {

unsigned clearTempCommon(const Session& session, Manifest manifest);

}  // namespace ca

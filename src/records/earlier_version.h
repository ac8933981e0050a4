// Machines that an earlier version of the add-in installed: it kept no
// footprint, only the folders it reached (the WFCUSTOM_DIR_* and
// Install_*_dir records) and its entry in their protk.dat. Before this
// version writes or records anything, or removes anything, what the earlier
// version left in those hosts is taken into their footprints, once; from
// then on removal follows the footprints alone.
#pragma once

#include "core/session.h"
#include "model/manifest.h"

#include <functional>
#include <string_view>

namespace ca {

enum class Moment { installing, removing };

// Takes, for each host the earlier version reached, its files that it wrote
// into the host's footprint:
//   a recorded listed installation: the manifest's files (but those a host
//     may ship itself: their owner is unknown, so they stay the host's), the
//     folders, and every file of the resource folders;
//   a recorded release folder: its text\usascii\resource and what is in it,
//     and, where it holds no host executable, the private runtime folders;
//   a folder that `registered` says holds the entry: the module;
// each with the entry, and protk.dat of unknown owner. A dev build's
// "Before <folder>" record, where one stands, tells exactly what was the
// host's: those places are left out, and the record goes.
// Then the product key is marked, so that this happens once. Nothing is
// done on a machine that keeps footprints already, or (while removing) on one
// without a product key. False when it could not finish: the caller then
// writes nothing (ORVELLA_INSTALL_ERROR or ORVELLA_REMOVE_ERROR says why).
bool adoptEarlierVersion(const Session& session, Manifest manifest, Moment moment,
                         const std::function<bool(std::string_view folder)>& registered);

}  // namespace ca

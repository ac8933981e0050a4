// One removal action's part of every host's footprint: the entry first, then
// the files of its domains, then what is left of the footprint is kept.
#pragma once

#include "core/session.h"
#include "model/footprint.h"

#include <functional>
#include <string>
#include <vector>

namespace ca {

// Takes the entry out of the footprint's host; true when none of ours is left.
using TakeEntryOut = std::function<bool(const Footprint& footprint)>;

struct RemovalOutcome {
    std::vector<std::string> visited;    // every footprint's folder, read or not
    std::vector<std::string> unfinished;  // hosts that keep something of the domains
    int undone = 0;                        // hosts whose domains' files were undone
};

// For every footprint that holds something of `domains`: with `takeEntryOut`,
// the entry goes first, and a host that keeps it keeps everything; without,
// a footprint that still names the entry is left alone (the entry may still
// stand in protk.dat). Then the domains' files go (undoFootprint), and the
// footprint is written back, or forgotten once it names nothing. Whatever
// leaves a host unfinished is logged and published in ORVELLA_REMOVE_ERROR.
RemovalOutcome removeFromFootprints(const Session& session, const std::vector<Domain>& domains,
                                    const TakeEntryOut& takeEntryOut);

}  // namespace ca

#include "removal/host_removal.h"

#include "core/log.h"
#include "core/outcome.h"
#include "model/footprint_store.h"
#include "model/host_failure.h"
#include "model/release_table.h"
#include "removal/footprint_removal.h"

#include <algorithm>

namespace ca {
namespace {

bool holdsAny(const Footprint& footprint, const std::vector<Domain>& domains)
{
    return std::any_of(footprint.items().begin(), footprint.items().end(), [&](const FootprintItem& item) {
        return std::find(domains.begin(), domains.end(), item.domain) != domains.end();
    });
}

void forgetEntry(Footprint& footprint)
{
    auto& items = footprint.items();
    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const FootprintItem& i) { return i.mark == Mark::entry || i.mark == Mark::registration; }),
                items.end());
}

// False when the host is left unfinished (and reported).
bool removeFromHost(const Session& session, Footprint& footprint, const std::vector<Domain>& domains,
                    const TakeEntryOut& takeEntryOut, RemovalOutcome& outcome)
{
    const std::string& host = footprint.host();
    if (footprint.has(Mark::entry) && !takeEntryOut) {
        session.log(concat(escaped(host), " left as it is: its Orvella entry may still stand in its protk.dat"));
        reportRegistrationFailure(session, kRemoveErrorProperty, host);
        return false;
    }
    if (takeEntryOut) {
        if (!takeEntryOut(footprint)) {
            session.log(concat(escaped(host), " keeps the add-in's files, their backups and its footprint: its Orvella "
                               "entry could not be taken out"));
            reportRegistrationFailure(session, kRemoveErrorProperty, host);
            return false;
        }
        forgetEntry(footprint);
    }
    ++outcome.undone;
    std::optional<UndoFailure> failure = undoFootprint(session, footprint, domains);
    platform::Status code = platform::kSuccess;
    if (!storeFootprint(session, footprint, &code) && !failure)
        failure = UndoFailure{registryKeyName(kProductKey, footprintValueName(host)), "could not be written", code};
    if (!failure) return true;
    reportHostFailure(session, kRemoveErrorProperty, host, escaped(failure->path), failure->reason, failure->code);
    return false;
}

}  // namespace

RemovalOutcome removeFromFootprints(const Session& session, const std::vector<Domain>& domains,
                                    const TakeEntryOut& takeEntryOut)
{
    RemovalOutcome outcome;
    std::vector<std::string> folders;
    if (!listFootprints(session, folders)) {
        const platform::Status code = lastFailureCode();
        reportHostFailure(session, kRemoveErrorProperty, "every host", registryKeyName(kProductKey),
                          "could not be listed", code);
    }
    for (const std::string& folder : folders) {
        outcome.visited.push_back(folder);
        Footprint footprint;
        platform::Status code = platform::kSuccess;
        const Found found = readFootprint(session, folder, footprint, &code);
        if (found == Found::unreadable) {
            session.log(concat(escaped(folder), " left as it is: its footprint cannot be read"));
            reportHostFailure(session, kRemoveErrorProperty, folder,
                              registryKeyName(kProductKey, footprintValueName(folder)), "could not be read", code);
            outcome.unfinished.push_back(folder);
            continue;
        }
        // A footprint that names nothing but a backup folder that could not go is any removal's.
        const bool onlyBackups = footprint.items().empty() && !footprint.backups().empty();
        if (found == Found::no || (!holdsAny(footprint, domains) && !onlyBackups)) continue;
        if (!removeFromHost(session, footprint, domains, takeEntryOut, outcome)) outcome.unfinished.push_back(folder);
    }
    return outcome;
}

}  // namespace ca

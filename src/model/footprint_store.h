// The footprints under the product key (HKLM\Software\Kestrane\Orvella):
// one REG_MULTI_SZ value per host folder, named "Footprint <folder>", and the
// value "Footprints" that says the product keeps them. Every failure is
// logged with the value's name and the error code.
#pragma once

#include "core/session.h"
#include "model/footprint.h"

#include <string>
#include <string_view>
#include <vector>

namespace ca {

enum class Found { yes, no, unreadable };

// The folder's footprint; `no` when there is none (the product key included).
// `code` receives the failure's code when it is unreadable.
Found readFootprint(const Session& session, std::string_view folder, Footprint& footprint,
                    platform::Status* code = nullptr);

// Writes the footprint; false, and logged, when the record could not be
// written (`code` receives why).
bool writeFootprint(const Session& session, const Footprint& footprint, platform::Status* code = nullptr);

// What removal leaves of a footprint: written back while it names anything,
// deleted once nothing is left. False when that failed.
bool storeFootprint(const Session& session, const Footprint& footprint, platform::Status* code = nullptr);

// A REG_MULTI_SZ value of the product key, one string a line.
Found readProductStrings(const Session& session, const std::string& name, std::vector<std::string>& strings,
                         platform::Status* code = nullptr);

// The folder of every footprint, in the registry's order; false when the
// product key cannot be listed (none at all is no failure).
bool listFootprints(const Session& session, std::vector<std::string>& folders);

// The names of the product key's values that start with `prefix`, without it.
bool listProductValues(const Session& session, std::string_view prefix, std::vector<std::string>& names);

// Deletes a value of the product key; true when it is gone.
bool deleteProductValue(const Session& session, const std::string& name);

// Whether the product keeps footprints on this machine yet.
enum class Era {
    noProduct,  // no product key: nothing was ever installed
    earlier,    // a product key without the mark: an earlier version installed
    footprints,
    unknown,    // the key could not be read
};
Era footprintEra(const Session& session);
bool markFootprintEra(const Session& session);

}  // namespace ca

// Registry files as the test harnesses meet them: regedit text (a scenario's
// machine.reg, what `reg export` writes) and Wine's own hive files
// (system.reg of a prefix). Either is read into the simulator's registry,
// every string as an ANSI caller reads it.
#pragma once

#include "platform/sim/machine.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace casim {

// Reads either kind of file, told apart by its first line; throws
// sim::RegParseError naming the file and line for a malformed one.
void readRegistryFile(const std::filesystem::path& file, sim::Registry& registry);
// Wine's hive text ("WINE REGISTRY Version 2"), keys relative to the hive's root.
void importWineHive(std::string_view text, const std::string& fileName, sim::Registry& registry);

// A regedit file as Wine's regedit imports it: version 5 text in UTF-16LE
// with its byte-order mark, REGEDIT4 text as it is. The file must parse.
std::string forWineRegedit(const std::filesystem::path& file);

}  // namespace casim

// What ca-sim takes from the sample package: the dialog's Control rows and
// the execute sequences, from the same files the package is built from.
#pragma once

#include "sequences.h"

#include "platform/sim/machine.h"

#include <filesystem>
#include <string>
#include <vector>

namespace casim {

struct Package {
    std::vector<sim::ControlRow> controlRows;
    Sequences sequences;
};

// Parses an exported Control table (.idt: names, types, table line, rows).
std::vector<sim::ControlRow> parseControlTable(const std::string& text, const std::string& fileName);
// Control.idt and sequences.txt of a package folder.
Package loadPackage(const std::filesystem::path& folder);

}  // namespace casim

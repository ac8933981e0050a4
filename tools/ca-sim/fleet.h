// Random machines shaped like the seats of a CAD department, each written
// as a snapshot folder the way the collector writes one (no staging area),
// for trying preflight on a fleet and for measuring it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace casim {

// Writes `count` snapshots below `folder` (seat-0001, seat-0002, ...) from
// `seed`: one to three hosts of any release, some folders with blanks,
// another vendor's add-in in most protk.dat files, now and then a protk.dat
// that cannot take the add-in (UTF-16 text, or a folder of that name), one
// that names the add-in already, or a host folder without its text folder.
// The same seed writes the same fleet. Returns the snapshots' folders.
std::vector<std::string> writeFleet(const std::filesystem::path& folder, int count, std::uint32_t seed);

}  // namespace casim

// The bodies of the fuzz targets. Each takes one input and returns when the
// code under it handled the input soundly (a refusal of bad input counts);
// a broken invariant throws Finding. The libFuzzer entry and the unit test
// that replays the saved inputs call the same functions.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

struct Finding : std::logic_error {
    using std::logic_error::logic_error;
};

struct Target {
    const char* name;  // also the folder of its corpus and regressions
    void (*run)(std::string_view input);
};

// Every target, in a fixed order.
const std::vector<Target>& targets();
// nullptr when there is no target of that name.
const Target* findTarget(std::string_view name);

// protk.dat holds our name line where an entry starts, as the host reads the
// file: told apart without the library's reader, for the tests' oracles.
bool holdsOurEntry(std::string_view protkBytes);

}  // namespace fuzz

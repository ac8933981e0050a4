// Installer conditions, as the package's sequences write them: properties,
// "strings", integers, %ENVIRONMENT, comparisons (=, <>, <, <=, >, >=, ><
// contains, << starts with, >> ends with; ~ before one ignores case), NOT,
// AND, OR, XOR, EQV, IMP and parentheses.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace casim {

struct ConditionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Lookup = std::function<std::optional<std::string>(const std::string& name)>;

// An empty condition is true. Throws ConditionError for bad syntax.
bool evaluateCondition(const std::string& condition, const Lookup& property, const Lookup& environment);

}  // namespace casim

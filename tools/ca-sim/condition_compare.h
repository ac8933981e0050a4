// How the installer's condition engine compares two operands: the type of
// each operand decides whether they compare as integers or as strings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace casim {

enum class Op { eq, ne, lt, gt, le, ge, contains, starts, ends };

struct Comparison {
    Op op;
    bool noCase;
};

// An operand as the engine types it: integers (literal or a feature or
// component state), literals ("text", or null for an unknown feature) and
// symbols (properties and environment variables, null when unset). The
// kind decides how two operands compare.
struct Value {
    enum class Kind { integer, literal, symbol } kind = Kind::literal;
    std::int32_t number = 0;
    std::optional<std::string> text;
};

bool compare(const Value& left, Comparison comparison, const Value& right);
// An operand alone: a non-zero integer or a non-empty text.
bool truth(const Value& value);
// An integer literal's value: wcstol's, which saturates at 32 bits.
std::int32_t saturated(const std::string& digits, bool negative);

}  // namespace casim

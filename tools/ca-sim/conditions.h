// Installer conditions, evaluated as MsiEvaluateCondition does (Wine's
// engine is the reference: tests/e2e/compare-conditions). Properties,
// "strings", integers, %ENVIRONMENT, feature and component states (&F, !F,
// $C, ?C), the comparisons = <> < > <= >= and >< << >> (substring, prefix and
// suffix between strings; bitwise AND, high word and low word between
// integers), each with ~ to ignore case, NOT, AND, OR, XOR, EQV, IMP and
// parentheses. A condition is parsed once, into a tree, and the tree is
// evaluated in each session.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace casim {

// Bad syntax; what() is the reason.
struct ConditionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Lookup = std::function<std::optional<std::string>(const std::string& name)>;

// What a condition can read. Values are the machine's bytes, in its code page.
struct ConditionInputs {
    Lookup property;
    Lookup environment;
    // A feature's or component's state: kind '&' (feature action), '!'
    // (feature installed), '$' (component action) or '?' (component installed).
    std::function<std::optional<int>(char kind, const std::string& name)> state;
};

// MsiEvaluateCondition's four answers.
enum class Verdict { falseResult, trueResult, none, error };

// A symbol the condition read, as written ("NAME", "%NAME", "&NAME") and
// what it held (nullopt: unset or unknown).
struct ConditionReference {
    std::string symbol;
    std::optional<std::string> value;
};

struct Evaluation {
    Verdict verdict = Verdict::none;
    std::string error;                            // for Verdict::error
    std::vector<ConditionReference> references;   // in the order read, each once
};

struct ConditionNode;

class Condition {
public:
    Condition() = default;  // empty: MSICONDITION_NONE, which a sequence step takes as true
    // `text` is in the machine's code page, as the installer's tables hold it; bad syntax throws ConditionError.
    static Condition parse(const std::string& text);

    // Every operand is read, whatever the others give, so that a skipped
    // step can name all the values its condition looked at.
    Evaluation evaluate(const ConditionInputs& inputs) const;
    // For a sequence step: true unless the condition evaluates false.
    bool holds(const ConditionInputs& inputs) const { return evaluate(inputs).verdict != Verdict::falseResult; }

    const std::string& text() const { return text_; }
    bool empty() const { return root_ == nullptr; }

private:
    std::string text_;
    std::shared_ptr<const ConditionNode> root_;
};

// Parses and evaluates one condition as MsiEvaluateCondition does: bad syntax
// is Verdict::error with the reason.
Evaluation evaluate(const std::string& condition, const ConditionInputs& inputs);

const char* verdictName(Verdict verdict);  // "false", "true", "none", "error"

}  // namespace casim

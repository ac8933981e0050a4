#include "conditions.h"

#include "condition_compare.h"


namespace casim {

// An operand as written: a literal, an integer, or a symbol that evaluation reads.
struct Operand {
    enum class Kind { literal, integer, property, environment, state } kind = Kind::literal;
    std::string text;   // the literal's text, or the symbol's name
    std::int32_t number = 0;
    char stateKind = 0;  // & ! $ ?
};

enum class Logic { conjunction, disjunction, exclusive, equivalence, implication };

struct ConditionNode {
    enum class Kind { truth, comparison, negation, logic } kind = Kind::truth;
    Operand left, right;                 // truth: left; comparison: both
    Comparison comparison{Op::eq, false};
    Logic logic = Logic::conjunction;
    std::unique_ptr<const ConditionNode> first, second;  // negation: first; logic: both
};

namespace {

using Node = std::unique_ptr<const ConditionNode>;

// The logical operators by level, loosest first.
struct LogicWord {
    const char* text;
    Logic logic;
    int level;
};
constexpr LogicWord kLogicWords[] = {{"IMP", Logic::implication, 0}, {"EQV", Logic::equivalence, 0},
                                     {"OR", Logic::disjunction, 1},  {"XOR", Logic::exclusive, 1},
                                     {"AND", Logic::conjunction, 2}};
constexpr int kLogicLevels = 3;

bool isNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '.';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

Node logic(Logic op, Node first, Node second)
{
    auto n = std::make_unique<ConditionNode>();
    n->kind = ConditionNode::Kind::logic;
    n->logic = op;
    n->first = std::move(first);
    n->second = std::move(second);
    return n;
}

// As Wine's engine parses them, IMP and EQV share the lowest level and OR and
// XOR the next, each left to right (Microsoft's documentation ranks all five
// apart); AND binds tighter, NOT tightest.
class Parser {
public:
    explicit Parser(const std::string& text) : s_(text) {}

    Node parse()
    {
        Node root = level(0);
        skip();
        if (pos_ != s_.size()) fail("unexpected \"" + s_.substr(pos_) + "\"");
        return root;
    }

private:
    [[noreturn]] void fail(const std::string& why) const { throw ConditionError(why); }

    // Only blanks separate tokens; the engine refuses a tab.
    void skip()
    {
        while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
    }

    bool keyword(const char* word)
    {
        skip();
        std::size_t end = pos_;
        while (end < s_.size() && isNameChar(s_[end])) ++end;
        const std::string w(word);
        if (end - pos_ != w.size()) return false;
        for (std::size_t i = 0; i < w.size(); ++i)
            if ((s_[pos_ + i] & ~0x20) != w[i]) return false;
        pos_ = end;
        return true;
    }

    Node level(int n)
    {
        if (n == kLogicLevels) return negation();
        Node node = level(n + 1);
        for (;;) {
            const LogicWord* found = nullptr;
            for (const LogicWord& w : kLogicWords)
                if (w.level == n && keyword(w.text)) {
                    found = &w;
                    break;
                }
            if (found == nullptr) return node;
            node = logic(found->logic, std::move(node), level(n + 1));
        }
    }

    Node negation()
    {
        if (!keyword("NOT")) return primary();
        auto n = std::make_unique<ConditionNode>();
        n->kind = ConditionNode::Kind::negation;
        n->first = negation();
        return n;
    }

    Node primary()
    {
        skip();
        if (pos_ < s_.size() && s_[pos_] == '(') {
            ++pos_;
            Node inner = level(0);
            skip();
            if (pos_ >= s_.size() || s_[pos_] != ')') fail("missing \")\"");
            ++pos_;
            return inner;
        }
        auto n = std::make_unique<ConditionNode>();
        n->left = operand();
        if (const auto c = comparison()) {
            n->kind = ConditionNode::Kind::comparison;
            n->comparison = *c;
            n->right = operand();
        }
        return n;
    }

    std::optional<Comparison> comparison()
    {
        skip();
        const bool noCase = pos_ < s_.size() && s_[pos_] == '~';
        if (noCase) ++pos_;
        static const std::pair<const char*, Op> ops[] = {{"<>", Op::ne}, {"><", Op::contains}, {"<<", Op::starts},
                                                         {">>", Op::ends}, {">=", Op::ge}, {"<=", Op::le},
                                                         {"=", Op::eq}, {"<", Op::lt}, {">", Op::gt}};
        for (const auto& [text, op] : ops)
            if (s_.compare(pos_, std::char_traits<char>::length(text), text) == 0) {
                pos_ += std::char_traits<char>::length(text);
                return Comparison{op, noCase};
            }
        if (noCase) fail("\"~\" without a comparison");
        return std::nullopt;
    }

    std::string name()
    {
        const std::size_t start = pos_;
        if (pos_ < s_.size() && isNameStart(s_[pos_]))
            while (pos_ < s_.size() && isNameChar(s_[pos_])) ++pos_;
        if (start == pos_) fail(pos_ < s_.size() ? "unexpected \"" + s_.substr(pos_) + "\"" : "a name is missing");
        return s_.substr(start, pos_ - start);
    }

    Operand operand()
    {
        using K = Operand::Kind;
        skip();
        if (pos_ >= s_.size()) fail("an operand is missing");
        const char c = s_[pos_];
        if (c == '"') {
            const std::size_t end = s_.find('"', pos_ + 1);
            if (end == std::string::npos) fail("unterminated string");
            Operand o{K::literal, s_.substr(pos_ + 1, end - pos_ - 1)};
            pos_ = end + 1;
            return o;
        }
        if (isDigit(c) || (c == '-' && pos_ + 1 < s_.size() && isDigit(s_[pos_ + 1]))) {
            const bool negative = c == '-';
            const std::size_t start = negative ? ++pos_ : pos_;
            while (pos_ < s_.size() && isDigit(s_[pos_])) ++pos_;
            return Operand{K::integer, {}, saturated(s_.substr(start, pos_ - start), negative)};
        }
        if (c == '%') {
            ++pos_;
            return Operand{K::environment, name()};
        }
        if (c == '&' || c == '!' || c == '$' || c == '?') {
            ++pos_;
            return Operand{K::state, name(), 0, c};
        }
        const std::string n = name();
        for (const char* word : {"NOT", "AND", "OR", "XOR", "EQV", "IMP"}) {
            std::string upper = n;
            for (char& ch : upper) ch = static_cast<char>(ch & ~0x20);
            if (upper == word) fail("an operand is missing before " + n);
        }
        return Operand{K::property, n};
    }

    const std::string& s_;
    std::size_t pos_ = 0;
};

// Evaluates a tree, noting each symbol the first time it is read.
class Evaluator {
public:
    Evaluator(const ConditionInputs& inputs, std::vector<ConditionReference>& references)
        : inputs_(inputs), references_(references)
    {
    }

    bool holds(const ConditionNode& n)
    {
        switch (n.kind) {
        case ConditionNode::Kind::truth: return truth(value(n.left));
        case ConditionNode::Kind::comparison: {
            const Value left = value(n.left);
            return compare(left, n.comparison, value(n.right));
        }
        case ConditionNode::Kind::negation: return !holds(*n.first);
        case ConditionNode::Kind::logic: break;
        }
        // Both sides are read, whatever the first gives.
        const bool a = holds(*n.first);
        const bool b = holds(*n.second);
        switch (n.logic) {
        case Logic::conjunction: return a && b;
        case Logic::disjunction: return a || b;
        case Logic::exclusive: return a != b;
        case Logic::equivalence: return a == b;
        case Logic::implication: return !a || b;
        }
        return false;
    }

private:
    void note(const std::string& symbol, const std::optional<std::string>& value)
    {
        for (const auto& r : references_)
            if (r.symbol == symbol) return;
        references_.push_back({symbol, value});
    }

    Value value(const Operand& o)
    {
        using K = Operand::Kind;
        switch (o.kind) {
        case K::literal: return Value{Value::Kind::literal, 0, o.text};
        case K::integer: return Value{Value::Kind::integer, o.number, std::nullopt};
        case K::state: {
            const auto state = inputs_.state ? inputs_.state(o.stateKind, o.text) : std::nullopt;
            note(std::string(1, o.stateKind) + o.text, state ? std::optional(std::to_string(*state)) : std::nullopt);
            if (!state) return Value{Value::Kind::literal, 0, std::nullopt};
            return Value{Value::Kind::integer, *state, std::nullopt};
        }
        case K::environment:
        case K::property: break;
        }
        const bool environment = o.kind == K::environment;
        const Lookup& lookup = environment ? inputs_.environment : inputs_.property;
        const auto value = lookup ? lookup(o.text) : std::nullopt;
        note(environment ? "%" + o.text : o.text, value);
        return Value{Value::Kind::symbol, 0, value && !value->empty() ? value : std::nullopt};
    }

    const ConditionInputs& inputs_;
    std::vector<ConditionReference>& references_;
};

}  // namespace

Condition Condition::parse(const std::string& text)
{
    Condition c;
    c.text_ = text;
    if (text.find_first_not_of(' ') != std::string::npos) c.root_ = Parser(text).parse();
    return c;
}

Evaluation Condition::evaluate(const ConditionInputs& inputs) const
{
    Evaluation e;
    if (root_ == nullptr) return e;
    e.verdict = Evaluator(inputs, e.references).holds(*root_) ? Verdict::trueResult : Verdict::falseResult;
    return e;
}

Evaluation evaluate(const std::string& condition, const ConditionInputs& inputs)
{
    try {
        return Condition::parse(condition).evaluate(inputs);
    } catch (const ConditionError& error) {
        return Evaluation{Verdict::error, error.what(), {}};
    }
}

const char* verdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::falseResult: return "false";
    case Verdict::trueResult: return "true";
    case Verdict::none: return "none";
    case Verdict::error: return "error";
    }
    return "error";
}

}  // namespace casim

#include "conditions.h"

#include "text.h"

#include <algorithm>
#include <cstdint>

namespace casim {
namespace {

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

bool compareInt(std::int32_t a, Comparison c, std::int32_t b)
{
    const auto word = [](std::uint32_t v) { return static_cast<std::int32_t>(v & 0xFFFF); };
    switch (c.op) {
    case Op::eq: return a == b;
    case Op::ne: return a != b;
    case Op::lt: return a < b;
    case Op::gt: return a > b;
    case Op::le: return a <= b;
    case Op::ge: return a >= b;
    case Op::contains: return (a & b) != 0;
    // The engine has no case-insensitive form of the word tests: always false.
    case Op::starts: return !c.noCase && word(static_cast<std::uint32_t>(a) >> 16) == b;
    case Op::ends: return !c.noCase && word(static_cast<std::uint32_t>(a)) == b;
    }
    return false;
}

// A property read as an integer against an integer operand: an optional '-'
// and ASCII digits, wrapping at 32 bits as the engine's own loop does.
std::optional<std::int32_t> propertyInteger(const std::optional<std::string>& text)
{
    if (!text) return std::nullopt;
    std::size_t i = !text->empty() && (*text)[0] == '-' ? 1 : 0;
    if (i == text->size()) return std::nullopt;
    std::uint32_t n = 0;
    for (; i < text->size(); ++i) {
        const char c = (*text)[i];
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return static_cast<std::int32_t>((*text)[0] == '-' ? 0u - n : n);
}

// Two strings, one of them a symbol, compare as integers when both are
// digits only (iswdigit, which also takes the superscripts ¹ ² ³); the value
// is wcstol's, which stops at the first non-ASCII digit and saturates.
bool allDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b >= '0' && b <= '9') || b == 0xB2 || b == 0xB3 || b == 0xB9;
    });
}

std::int32_t saturated(const std::string& digits, bool negative)
{
    std::int64_t n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') break;
        n = std::min<std::int64_t>(n * 10 + (c - '0'), std::int64_t{INT32_MAX} + 1);
    }
    if (negative) return static_cast<std::int32_t>(std::max<std::int64_t>(-n, INT32_MIN));
    return static_cast<std::int32_t>(std::min<std::int64_t>(n, INT32_MAX));
}

// Only ASCII letters fold, as the engine's wcsicmp does.
std::u16string wide(const std::string& text, bool fold)
{
    std::u16string out = wideFromAnsi(text);
    if (fold)
        for (char16_t& w : out)
            if (w >= u'A' && w <= u'Z') w = static_cast<char16_t>(w + 32);
    return out;
}

bool compareStrings(const std::optional<std::string>& left, Comparison c, const std::optional<std::string>& right,
                    bool convert)
{
    const std::string a = left.value_or(""), b = right.value_or("");
    if (convert && allDigits(a) && allDigits(b)) return compareInt(saturated(a, false), c, saturated(b, false));
    const std::u16string x = wide(a, c.noCase), y = wide(b, c.noCase);
    switch (c.op) {
    case Op::contains:
    case Op::starts:
    case Op::ends:
        if (x.empty()) return false;
        if (y.empty()) return true;
        if (c.op == Op::contains) return x.find(y) != std::u16string::npos;
        if (y.size() > x.size()) return false;
        return c.op == Op::starts ? x.compare(0, y.size(), y) == 0 : x.compare(x.size() - y.size(), y.size(), y) == 0;
    case Op::eq: return x == y;
    case Op::ne: return x != y;
    case Op::lt: return x < y;
    case Op::gt: return x > y;
    case Op::le: return x <= y;
    case Op::ge: return x >= y;
    }
    return false;
}

bool compare(const Value& l, Comparison c, const Value& r)
{
    using K = Value::Kind;
    if (l.kind == K::integer && r.kind == K::integer) return compareInt(l.number, c, r.number);
    if (l.kind != K::integer && r.kind != K::integer)
        return compareStrings(l.text, c, r.text, l.kind == K::symbol || r.kind == K::symbol);
    const Value& text = l.kind == K::integer ? r : l;
    const std::int32_t number = l.kind == K::integer ? l.number : r.number;
    const auto n = text.kind == K::symbol ? propertyInteger(text.text) : std::nullopt;
    if (!n) return c.op == Op::ne;  // text that is no integer is only ever unequal to one
    return l.kind == K::integer ? compareInt(number, c, *n) : compareInt(*n, c, number);
}

bool truth(const Value& v)
{
    return v.kind == Value::Kind::integer ? v.number != 0 : v.text && !v.text->empty();
}

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

struct SyntaxError {
    std::string why;
};

class Parser {
public:
    Parser(const std::string& text, const ConditionInputs& inputs, std::vector<ConditionReference>& references)
        : s_(text), inputs_(inputs), references_(references)
    {
    }

    bool parse()
    {
        const bool value = imp();
        skip();
        if (pos_ != s_.size()) fail("unexpected \"" + s_.substr(pos_) + "\"");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& why) const { throw SyntaxError{why}; }

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

    // Every operand is read, whatever the left side gave, so that a skipped
    // step can name all the values its condition looked at. As Wine's engine
    // parses them, IMP and EQV share the lowest level and OR and XOR the
    // next, each left to right (Microsoft's documentation ranks all five
    // apart); AND binds tighter, NOT tightest.
    bool imp()
    {
        bool v = orExpr();
        for (;;) {
            if (keyword("IMP"))
                v = !v | orExpr();
            else if (keyword("EQV"))
                v = v == orExpr();
            else
                return v;
        }
    }
    bool orExpr()
    {
        bool v = andExpr();
        for (;;) {
            if (keyword("OR"))
                v = andExpr() | v;
            else if (keyword("XOR"))
                v = v != andExpr();
            else
                return v;
        }
    }
    bool andExpr()
    {
        bool v = notExpr();
        while (keyword("AND")) v = notExpr() & v;
        return v;
    }
    bool notExpr()
    {
        if (keyword("NOT")) return !notExpr();
        return primary();
    }

    bool primary()
    {
        skip();
        if (pos_ < s_.size() && s_[pos_] == '(') {
            ++pos_;
            const bool v = imp();
            skip();
            if (pos_ >= s_.size() || s_[pos_] != ')') fail("missing \")\"");
            ++pos_;
            return v;
        }
        const Value left = operand();
        const auto c = comparison();
        if (!c) return truth(left);
        return compare(left, *c, operand());
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

    void note(const std::string& symbol, const std::optional<std::string>& value)
    {
        for (const auto& r : references_)
            if (r.symbol == symbol) return;
        references_.push_back({symbol, value});
    }

    Value operand()
    {
        skip();
        if (pos_ >= s_.size()) fail("an operand is missing");
        const char c = s_[pos_];
        if (c == '"') {
            const std::size_t end = s_.find('"', pos_ + 1);
            if (end == std::string::npos) fail("unterminated string");
            Value v{Value::Kind::literal, 0, s_.substr(pos_ + 1, end - pos_ - 1)};
            pos_ = end + 1;
            return v;
        }
        if (isDigit(c) || (c == '-' && pos_ + 1 < s_.size() && isDigit(s_[pos_ + 1]))) {
            const bool negative = c == '-';
            const std::size_t start = negative ? ++pos_ : pos_;
            while (pos_ < s_.size() && isDigit(s_[pos_])) ++pos_;
            return Value{Value::Kind::integer, saturated(s_.substr(start, pos_ - start), negative), std::nullopt};
        }
        if (c == '%') {
            ++pos_;
            const std::string n = name();
            const auto value = inputs_.environment ? inputs_.environment(n) : std::nullopt;
            note("%" + n, value);
            return Value{Value::Kind::symbol, 0, value && !value->empty() ? value : std::nullopt};
        }
        if (c == '&' || c == '!' || c == '$' || c == '?') {
            ++pos_;
            const std::string n = name();
            const auto state = inputs_.state ? inputs_.state(c, n) : std::nullopt;
            note(std::string(1, c) + n, state ? std::optional<std::string>(std::to_string(*state)) : std::nullopt);
            if (!state) return Value{Value::Kind::literal, 0, std::nullopt};
            return Value{Value::Kind::integer, *state, std::nullopt};
        }
        const std::string n = name();
        for (const char* word : {"NOT", "AND", "OR", "XOR", "EQV", "IMP"}) {
            std::string upper = n;
            for (char& ch : upper) ch = static_cast<char>(ch & ~0x20);
            if (upper == word) fail("an operand is missing before " + n);
        }
        const auto value = inputs_.property ? inputs_.property(n) : std::nullopt;
        note(n, value);
        return Value{Value::Kind::symbol, 0, value && !value->empty() ? value : std::nullopt};
    }

    const std::string& s_;
    const ConditionInputs& inputs_;
    std::vector<ConditionReference>& references_;
    std::size_t pos_ = 0;
};

}  // namespace

Evaluation evaluate(const std::string& condition, const ConditionInputs& inputs)
{
    Evaluation e;
    if (condition.find_first_not_of(' ') == std::string::npos) return e;
    try {
        e.verdict = Parser(condition, inputs, e.references).parse() ? Verdict::trueResult : Verdict::falseResult;
    } catch (const SyntaxError& error) {
        e.verdict = Verdict::error;
        e.error = error.why;
    }
    return e;
}

bool evaluateCondition(const std::string& condition, const ConditionInputs& inputs)
{
    const Evaluation e = evaluate(condition, inputs);
    if (e.verdict == Verdict::error) throw ConditionError("condition \"" + condition + "\": " + e.error);
    return e.verdict != Verdict::falseResult;
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

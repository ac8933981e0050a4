#include "conditions.h"

#include <cctype>
#include <cstdlib>
#include <vector>

namespace casim {
namespace {

std::string upper(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::optional<long> asInteger(const std::string& s)
{
    if (s.empty()) return std::nullopt;
    std::size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size()) return std::nullopt;
    for (std::size_t j = i; j < s.size(); ++j)
        if (!std::isdigit(static_cast<unsigned char>(s[j]))) return std::nullopt;
    return std::strtol(s.c_str(), nullptr, 10);
}

struct Operand {
    std::string text;
    bool isLiteralInteger = false;
    bool isQuoted = false;
};

class Parser {
public:
    Parser(const std::string& text, const Lookup& property, const Lookup& environment)
        : s_(text), property_(property), environment_(environment)
    {
    }

    bool parse()
    {
        skip();
        if (pos_ == s_.size()) return true;
        const bool value = imp();
        skip();
        if (pos_ != s_.size()) fail("unexpected \"" + s_.substr(pos_) + "\"");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& why) const
    {
        throw ConditionError("condition \"" + s_ + "\": " + why);
    }
    void skip()
    {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    bool keyword(const char* word)
    {
        skip();
        const std::string w(word);
        if (upper(s_.substr(pos_, w.size())) != w) return false;
        const std::size_t end = pos_ + w.size();
        if (end < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[end])) || s_[end] == '_' || s_[end] == '.'))
            return false;
        pos_ = end;
        return true;
    }
    bool imp()
    {
        bool v = eqv();
        while (keyword("IMP")) {
            const bool r = eqv();
            v = !v || r;
        }
        return v;
    }
    bool eqv()
    {
        bool v = xorExpr();
        while (keyword("EQV")) v = (v == xorExpr());
        return v;
    }
    bool xorExpr()
    {
        bool v = orExpr();
        while (keyword("XOR")) v = (v != orExpr());
        return v;
    }
    bool orExpr()
    {
        bool v = andExpr();
        while (keyword("OR")) {
            const bool r = andExpr();
            v = v || r;
        }
        return v;
    }
    bool andExpr()
    {
        bool v = notExpr();
        while (keyword("AND")) {
            const bool r = notExpr();
            v = v && r;
        }
        return v;
    }
    bool notExpr()
    {
        if (keyword("NOT")) return !notExpr();
        return comparison();
    }
    bool comparison()
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
        const Operand left = operand();
        skip();
        bool noCase = false;
        if (pos_ < s_.size() && s_[pos_] == '~') {
            noCase = true;
            ++pos_;
        }
        static const char* ops[] = {"<>", "><", "<<", ">>", ">=", "<=", "=", "<", ">"};
        std::string op;
        for (const char* candidate : ops)
            if (s_.compare(pos_, std::string(candidate).size(), candidate) == 0) {
                op = candidate;
                break;
            }
        if (op.empty()) {
            if (noCase) fail("\"~\" without a comparison");
            return !left.text.empty();
        }
        pos_ += op.size();
        const Operand right = operand();
        return compare(left, op, right, noCase);
    }
    Operand operand()
    {
        skip();
        if (pos_ >= s_.size()) fail("an operand is missing");
        const char c = s_[pos_];
        if (c == '"') {
            const std::size_t end = s_.find('"', pos_ + 1);
            if (end == std::string::npos) fail("unterminated string");
            Operand o{s_.substr(pos_ + 1, end - pos_ - 1), false, true};
            pos_ = end + 1;
            return o;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '-') {
            const std::size_t start = pos_++;
            while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
            return Operand{s_.substr(start, pos_ - start), true};
        }
        const bool env = c == '%';
        if (env) ++pos_;
        if (c == '$' || c == '?' || c == '&' || c == '!') fail("component and feature states are not simulated");
        const std::size_t start = pos_;
        while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_' || s_[pos_] == '.'))
            ++pos_;
        if (start == pos_) fail("unexpected \"" + s_.substr(start) + "\"");
        const std::string name = s_.substr(start, pos_ - start);
        const std::string u = upper(name);
        if (u == "NOT" || u == "AND" || u == "OR" || u == "XOR" || u == "EQV" || u == "IMP") fail("an operand is missing");
        return Operand{(env ? environment_(name) : property_(name)).value_or("")};
    }
    static bool compare(const Operand& l, const std::string& op, const Operand& r, bool noCase)
    {
        // A quoted literal is text; a property that holds an integer compares as one.
        const auto li = l.isQuoted ? std::nullopt : asInteger(l.text);
        const auto ri = r.isQuoted ? std::nullopt : asInteger(r.text);
        if (li && ri && op != "><" && op != "<<" && op != ">>") {
            if (op == "=") return *li == *ri;
            if (op == "<>") return *li != *ri;
            if (op == "<") return *li < *ri;
            if (op == "<=") return *li <= *ri;
            if (op == ">") return *li > *ri;
            return *li >= *ri;
        }
        // An integer literal against a text that is no integer: only "<>" holds.
        if ((l.isLiteralInteger && !ri) || (r.isLiteralInteger && !li)) return op == "<>";
        const std::string a = noCase ? upper(l.text) : l.text;
        const std::string b = noCase ? upper(r.text) : r.text;
        if (op == "=") return a == b;
        if (op == "<>") return a != b;
        if (op == "<") return a < b;
        if (op == "<=") return a <= b;
        if (op == ">") return a > b;
        if (op == ">=") return a >= b;
        if (op == "><") return a.find(b) != std::string::npos;
        if (op == "<<") return a.compare(0, b.size(), b) == 0;
        return a.size() >= b.size() && a.compare(a.size() - b.size(), b.size(), b) == 0;
    }

    const std::string& s_;
    const Lookup& property_;
    const Lookup& environment_;
    std::size_t pos_ = 0;
};

}  // namespace

bool evaluateCondition(const std::string& condition, const Lookup& property, const Lookup& environment)
{
    return Parser(condition, property, environment).parse();
}

}  // namespace casim

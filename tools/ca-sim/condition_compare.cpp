#include "condition_compare.h"

#include "text.h"

#include <algorithm>

namespace casim {
namespace {

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
    const std::u16string wide = wideFromAnsi(text);
    return !wide.empty() && std::all_of(wide.begin(), wide.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || c == 0xB2 || c == 0xB3 || c == 0xB9;
    });
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

}  // namespace

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

}  // namespace casim

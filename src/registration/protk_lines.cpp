#include "registration/protk_lines.h"

#include "core/text.h"

#include <cstring>
#include <memory>

namespace ca {
namespace {

constexpr std::size_t kBlock = 64 * 1024;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (isBlank(text.front()) || text.front() == '\n')) text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\n')) text.remove_suffix(1);
    return text;
}

}  // namespace

LineKind classifyLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return LineKind::empty;
    // Most lines are told apart by their first letter.
    const std::string_view text = trimmed(line);
    if (text.empty()) return LineKind::other;
    const char first = lowerAscii(text.front());
    if (first != 'n' && first != 'e') return LineKind::other;
    if (equalsIgnoringCase(text, "end")) return LineKind::end;
    if (!startsWithIgnoringCase(text, "name")) return LineKind::other;
    if (text.size() == 4) return LineKind::name;
    if (!isBlank(text[4])) return LineKind::other;
    return trimmed(text.substr(4)) == "Orvella" ? LineKind::ourName : LineKind::name;
}

bool forEachLine(platform::File& file, const std::function<void(std::string_view line)>& visit)
{
    const auto block = std::make_unique_for_overwrite<char[]>(kBlock);
    std::string carry;  // the start of a line that the next block ends
    for (;;) {
        std::size_t got = 0;
        if (!file.read(block.get(), kBlock, got)) return false;
        if (got == 0) break;
        const char* p = block.get();
        const char* const stop = p + got;
        while (p != stop) {
            const auto* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(stop - p)));
            if (lineEnd == nullptr) {
                carry.append(p, stop);
                break;
            }
            const std::string_view line(p, static_cast<std::size_t>(lineEnd + 1 - p));
            if (carry.empty()) {
                visit(line);
            } else {
                carry.append(line);
                visit(carry);
                carry.clear();
            }
            p = lineEnd + 1;
        }
    }
    if (!carry.empty()) visit(carry);
    return true;
}

}  // namespace ca

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
    // The host reads a line up to a Ctrl-Z, so the line end an append gives
    // the text before one never changes what that text is, and what follows
    // the Ctrl-Z then, on a line of its own, is as neutral as it was.
    const std::size_t ctrlZ = line.find(kCtrlZ);
    if (ctrlZ == 0) return LineKind::other;
    line = line.substr(0, ctrlZ);
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return LineKind::empty;
    // Most lines are told apart by their first letter.
    std::size_t first = 0;
    while (first < line.size() && isBlank(line[first])) ++first;
    if (first == line.size()) return LineKind::other;
    const char letter = lowerAscii(line[first]);
    if (letter != 'n' && letter != 'e') return LineKind::other;
    const std::string_view text = trimmed(line.substr(first));
    if (equalsIgnoringCase(text, "end")) return LineKind::end;
    if (!startsWithIgnoringCase(text, "name")) return LineKind::other;
    if (text.size() == 4) return LineKind::name;
    if (!isBlank(text[4])) return LineKind::other;
    return trimmed(text.substr(4)) == "Orvella" ? LineKind::ourName : LineKind::name;
}

std::string_view lineEndOf(std::string_view line)
{
    if (line.ends_with("\r\n")) return line.substr(line.size() - 2);
    if (line.ends_with('\n')) return line.substr(line.size() - 1);
    return {};
}

LineKind EntryScope::next(std::string_view line)
{
    const LineKind kind = classifyLine(line);
    switch (kind) {
    case LineKind::name: insideOther_ = true; break;
    case LineKind::end:
    case LineKind::empty: insideOther_ = false; break;
    case LineKind::ourName:
        if (insideOther_) return LineKind::other;
        break;
    case LineKind::other: break;
    }
    return kind;
}

void EntryScope::skip(std::string_view lines)
{
    // Only the last line that opens or closes an entry tells where the run ends.
    while (!lines.empty()) {
        std::size_t start = 0;
        if (lines.size() >= 2) {
            const std::size_t lineFeed = lines.rfind('\n', lines.size() - 2);
            if (lineFeed != std::string_view::npos) start = lineFeed + 1;
        }
        const std::string_view line = lines.substr(start);
        const LineKind kind = classifyLine(line);
        if (kind == LineKind::name) return void(insideOther_ = true);
        if (kind == LineKind::end || kind == LineKind::empty) return void(insideOther_ = false);
        lines.remove_suffix(line.size());
    }
}

bool startsWide(std::string_view bytes) { return bytes.starts_with("\xff\xfe") || bytes.starts_with("\xfe\xff"); }

bool surveyBytes(platform::File& file, ByteSurvey& survey)
{
    constexpr std::string_view kName = "Orvella";
    survey = {};
    // The end of the last block is kept before the next, for a name that two blocks share.
    const std::size_t keep = kName.size() - 1;
    const auto buffer = std::make_unique_for_overwrite<char[]>(keep + kBlock);
    std::size_t held = 0;
    for (bool first = true;; first = false) {
        std::size_t got = 0;
        if (!file.read(buffer.get() + held, kBlock, got)) return false;
        if (got == 0) return true;
        const std::string_view bytes(buffer.get(), held + got);
        if (first) survey.wide = startsWide(bytes);
        if (survey.onlyLineEnds) survey.onlyLineEnds = bytes.find_first_not_of("\r\n") == std::string_view::npos;
        if (!survey.mentionsOurName) survey.mentionsOurName = bytes.find(kName) != std::string_view::npos;
        held = std::min(keep, bytes.size());
        std::memmove(buffer.get(), bytes.data() + bytes.size() - held, held);
    }
}

LineReader::LineReader(platform::File& file) : file_(file), block_(std::make_unique_for_overwrite<char[]>(kBlock)) {}

bool LineReader::nextSlow(std::string_view& line)
{
    for (;;) {
        if (p_ != stop_) {
            const auto* lineEnd = static_cast<const char*>(std::memchr(p_, '\n', static_cast<std::size_t>(stop_ - p_)));
            if (lineEnd == nullptr) {
                carry_.append(p_, stop_);
                p_ = stop_;
            } else {
                // A line that began in an earlier block ends here.
                carry_.append(p_, lineEnd + 1);
                p_ = lineEnd + 1;
                held_.swap(carry_);
                carry_.clear();
                line = held_;
                return true;
            }
        }
        if (atEnd_) break;
        std::size_t got = 0;
        if (!file_.read(block_.get(), kBlock, got)) {
            failed_ = true;
            return false;
        }
        atEnd_ = got == 0;
        p_ = block_.get();
        stop_ = p_ + got;
        lastLineEnd_ = p_ - 1;
        for (const char* q = stop_; q != p_;)
            if (*--q == '\n') {
                lastLineEnd_ = q;
                break;
            }
    }
    if (carry_.empty()) return false;
    held_.swap(carry_);
    carry_.clear();
    line = held_;
    return true;
}

}  // namespace ca

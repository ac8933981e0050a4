// The host's registration file as the host reads it: lines that end at a
// line feed, and the few kinds of line that mark an add-in's entry. Keywords
// in any case, blanks or tabs around words; the value of our name line is
// exactly "Orvella".
#pragma once

#include "platform/files.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace ca {

inline constexpr char kCtrlZ = '\x1a';

enum class LineKind {
    other,
    empty,    // nothing but its line end
    end,      // "end": the last line of an entry
    name,     // "name" and another add-in's value: the first line of another entry
    ourName,  // "name Orvella": the first line of ours
};

// The kind of one line, its line end included or not; a Ctrl-Z ends what
// the line holds.
LineKind classifyLine(std::string_view line);

// The line end a line carries: "\r\n", "\n", or "" for a last line without one.
std::string_view lineEndOf(std::string_view line);

// Where entries start, as the host reads the file line by line: a name line
// inside another add-in's entry (after its name line, before its end line or
// the empty line that sets the next entry apart) belongs to that entry, so a
// "name Orvella" there is no entry of ours.
class EntryScope {
public:
    // The kind of the next line where it stands: ourName only where an entry starts.
    LineKind next(std::string_view line);
    // Passes over whole lines that cannot name the add-in, taken in one go.
    void skip(std::string_view lines);
    bool insideOther() const { return insideOther_; }

private:
    bool insideOther_ = false;
};

// What a read of the whole file as bytes finds. False on a read error.
struct ByteSurvey {
    bool mentionsOurName = false;  // "Orvella" stands somewhere: without it there is no entry of ours
    bool onlyLineEnds = true;      // nothing but line ends
    bool wide = false;             // UTF-16 text (a byte-order mark): never ours to edit
};
bool surveyBytes(platform::File& file, ByteSurvey& survey);

// The byte-order mark of UTF-16 text at the start of a file.
bool startsWide(std::string_view bytes);

// Reads a file line by line, in 64 KB blocks: a line is a view into the
// block, valid until the next call of next(). Only a line that runs over a
// block's end is gathered into a string of its own.
class LineReader {
public:
    explicit LineReader(platform::File& file);

    // The next line with its line end (the last one may have none). False at
    // the end of the file or on a read error (then failed()).
    bool next(std::string_view& line)
    {
        if (p_ != stop_) {
            const auto* lineEnd = static_cast<const char*>(std::memchr(p_, '\n', static_cast<std::size_t>(stop_ - p_)));
            if (lineEnd != nullptr && carry_.empty()) {
                line = std::string_view(p_, static_cast<std::size_t>(lineEnd + 1 - p_));
                p_ = lineEnd + 1;
                return true;
            }
        }
        return nextSlow(line);
    }
    // The next call of next() reads a new block: views of this one end.
    bool atBlockEnd() const { return p_ > lastLineEnd_; }
    // The whole lines left in this block but the last, and a step past
    // them: who needs no line on its own takes them in one go.
    std::string_view linesBeforeTheLast() const
    {
        if (!carry_.empty() || p_ > lastLineEnd_) return {};
        const std::string_view rest(p_, static_cast<std::size_t>(lastLineEnd_ - p_));
        const std::size_t last = rest.rfind('\n');
        return last == std::string_view::npos ? std::string_view() : rest.substr(0, last + 1);
    }
    void skip(std::size_t bytes) { p_ += bytes; }
    bool failed() const { return failed_; }

private:
    bool nextSlow(std::string_view& line);
    platform::File& file_;
    std::unique_ptr<char[]> block_;
    const char* p_ = nullptr;
    const char* stop_ = nullptr;
    const char* lastLineEnd_ = nullptr;  // the block's last line feed, or before the block
    std::string carry_;  // the start of a line that a later block ends
    std::string held_;   // such a line, once ended, while it is the current one
    bool failed_ = false;
    bool atEnd_ = false;
};

}  // namespace ca

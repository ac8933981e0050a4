// Taking the add-in's entries out of protk.dat as its lines stream by; with
// no writer, it only counts them.
#pragma once

#include "registration/protk_lines.h"
#include "registration/protk_rewrite.h"

#include <string>
#include <string_view>

namespace ca {

// Whole lines without the empty ones at their end (they may stand before a name line).
inline std::string_view withoutTrailingEmptyLines(std::string_view lines)
{
    for (;;) {
        const std::size_t last = lines.size() < 2 ? std::string_view::npos : lines.rfind('\n', lines.size() - 2);
        const std::string_view lastLine = last == std::string_view::npos ? lines : lines.substr(last + 1);
        if (lines.empty() || classifyLine(lastLine) != LineKind::empty) return lines;
        lines.remove_suffix(lastLine.size());
    }
}

// Drops our entries, each with the empty line before it: from its name line
// through its "end" line, or, without one, up to the next name line. What is
// kept goes out in runs of whole lines as they stand in the block read.
class EntryRemover {
public:
    explicit EntryRemover(BlockWriter* out) : out_(out) {}

    // Reads the whole file; false on a read error.
    bool run(platform::File& file)
    {
        LineReader reader(file);
        for (std::string_view line;;) {
            // Lines that cannot name the add-in, outside an entry, stay as they are.
            const std::string_view lines = withoutTrailingEmptyLines(reader.linesBeforeTheLast());
            if (!inEntry_ && heldEmpty_.empty() && lines.find("Orvella") == std::string_view::npos) {
                keep(lines);
                scope_.skip(lines);
                reader.skip(lines.size());
            }
            if (!reader.next(line)) break;
            take(line);
            if (reader.atBlockEnd()) flushRun();
        }
        keep(heldEmpty_);
        flushRun();
        return !reader.failed();
    }
    int entries() const { return entries_; }
    bool onlyLineEndsKept() const { return onlyLineEnds_; }

private:
    void take(std::string_view line)
    {
        const EntryScope before = scope_;
        const LineKind kind = scope_.next(line);
        if (inEntry_) {
            // The lines that go leave the rest of the file read as it was without them.
            if (kind != LineKind::name && kind != LineKind::ourName) {
                if (kind == LineKind::end) inEntry_ = false, scope_ = outside_;
                return;
            }
            inEntry_ = false;
            scope_ = outside_;
            scope_.next(line);
        }
        if (kind == LineKind::ourName) {
            ++entries_;
            inEntry_ = true;
            outside_ = before;
            // The empty line before the entry is ours only as an append writes
            // it, with the entry's own line end: a CR or LF of the host's stays.
            if (heldEmpty_ == lineEndOf(line)) heldEmpty_.clear(), outside_ = beforeHeld_;
        }
        if (!heldEmpty_.empty()) {
            flushRun();
            keep(heldEmpty_);
            flushRun();
            heldEmpty_.clear();
        }
        if (kind == LineKind::ourName) return;
        if (kind == LineKind::empty)
            heldEmpty_ = line, beforeHeld_ = before;
        else
            keep(line);
    }
    void keep(std::string_view bytes)
    {
        if (bytes.empty()) return;
        if (onlyLineEnds_) onlyLineEnds_ = bytes.find_first_not_of("\r\n") == std::string_view::npos;
        if (bytes.data() != run_.data() + run_.size()) flushRun();
        run_ = run_.empty() ? bytes : std::string_view(run_.data(), run_.size() + bytes.size());
    }
    void flushRun()
    {
        if (out_ != nullptr && !run_.empty()) out_->put(run_);
        run_ = {};
    }
    BlockWriter* out_;
    std::string_view run_;  // kept lines that follow one another in the block
    std::string heldEmpty_;
    EntryScope scope_;
    EntryScope beforeHeld_;  // where the held empty line stands
    EntryScope outside_;     // where the entry being dropped stands
    bool inEntry_ = false;
    int entries_ = 0;
    bool onlyLineEnds_ = true;
};

}  // namespace ca

#include "registration/registration_file.h"

#include "core/fixed_string.h"
#include "core/paths.h"
#include "platform/files.h"

#include <cstring>
#include <string>
#include <string_view>

namespace ca {
namespace {

// The entry's identity: this line, line end included, and nothing else.
constexpr std::string_view kNameLine = "name Orvella\n";
// The name line and the six lines after it make up the entry.
constexpr int kLinesAfterNameLine = 6;
constexpr int kLineBufferSize = 4096;
constexpr const char* kTempFileName = "\\text\\123protk_xyz.dat";

// Reads the file piece by piece: a line longer than the buffer comes in several
// pieces, and only a piece that starts and ends a line is a whole line.
class LineReader {
public:
    explicit LineReader(pf::TextStream& stream) : stream_(stream) { std::memset(buffer_, kNoZero, kLineBufferSize); }

    bool next()
    {
        atLineStart_ = endsLine_;
        // A NUL byte read from the file would hide the rest of the piece from
        // strlen. The reader writes only what it read and one terminator, so
        // over a buffer without zeros the last zero ends the piece. Only the
        // previous piece is cleared again: a whole buffer per line would make
        // reading a large file many times slower.
        std::memset(buffer_, kNoZero, length_ + 1);
        if (!stream_.getLine(buffer_, kLineBufferSize)) {
            length_ = kLineBufferSize - 1;
            return false;
        }
        // A piece holds at most one newline, its last character.
        const auto* newline = static_cast<const char*>(std::memchr(buffer_, '\n', kLineBufferSize - 1));
        if (newline != nullptr && newline[1] == '\0') {
            length_ = static_cast<std::size_t>(newline - buffer_) + 1;
        } else {
            length_ = kLineBufferSize - 1;
            while (length_ > 0 && buffer_[length_] != '\0') --length_;
        }
        endsLine_ = length_ > 0 && buffer_[length_ - 1] == '\n';
        return true;
    }
    std::string_view piece() const { return {buffer_, length_}; }
    bool endsLine() const { return endsLine_; }
    bool isNameLine() const { return atLineStart_ && piece() == kNameLine; }
    bool isEmptyLine() const { return atLineStart_ && piece() == "\n"; }

private:
    static constexpr char kNoZero = 0x7F;
    pf::TextStream& stream_;
    char buffer_[kLineBufferSize] = {};
    std::size_t length_ = 0;
    bool atLineStart_ = true;
    bool endsLine_ = true;
};

// True when the file already lists the add-in. A read error counts as listed:
// appending to a file that could not be read might register the add-in twice.
bool holdsNameLine(pf::TextStream& file)
{
    LineReader reader(file);
    while (reader.next())
        if (reader.isNameLine()) return true;
    return file.hadError();
}

void appendEntry(const char* folder, const char* execFileLine, const char* textDirLine)
{
    PathBuffer path;
    if (!hostPath(folder, "\\text\\protk.dat", path)) return;
    pf::TextStream file = pf::TextStream::open(path.c_str(), "a+");
    if (!file || holdsNameLine(file)) return;
    // One write for the whole entry: a write that fails must not leave the
    // host's file with part of an entry that the host would then misread.
    std::string entry;
    for (const char* line : {"", "name Orvella", "startup DLL", "delay_start FALSE", "allow_stop  TRUE", execFileLine,
                             textDirLine, "end"}) {
        entry += line;
        entry += '\n';
    }
    file.putText(entry.c_str());
    file.close();
}

struct FilterResult {
    bool complete = false;       // the whole file was read and the whole copy written
    int entriesRemoved = 0;
    bool onlyEmptyLinesLeft = true;
};

// Copies `from` to `to` without the add-in's entries; without `to`, only
// tells what a copy would leave out.
FilterResult copyWithoutEntries(pf::TextStream& from, pf::TextStream* to)
{
    FilterResult result;
    LineReader reader(from);
    bool written = true;
    int linesToDrop = 0;
    bool droppingNameLine = false;
    while (reader.next()) {
        if (droppingNameLine || linesToDrop > 0) {
            if (reader.endsLine()) {
                if (droppingNameLine)
                    droppingNameLine = false;
                else
                    --linesToDrop;
            }
            continue;
        }
        if (reader.isNameLine()) {
            ++result.entriesRemoved;
            linesToDrop = kLinesAfterNameLine;
            continue;
        }
        if (!reader.isEmptyLine()) result.onlyEmptyLinesLeft = false;
        if (to != nullptr) written = to->putBytes(reader.piece().data(), reader.piece().size()) && written;
    }
    const bool readToEnd = !from.hadError();
    const bool closed = to == nullptr || to->close();
    result.complete = readToEnd && written && closed;
    return result;
}

}  // namespace

void addAuxAppEntry(const char* folder)
{
    appendEntry(folder, "exec_file $PRO_DIRECTORY\\$PRO_MACHINE_TYPE\\obj\\orvbridge.dll", "text_dir $PRO_DIRECTORY");
}

void addCmdAuxAppEntry(const char* folder)
{
    PathBuffer strippedFolder;
    if (folder == nullptr || !strippedFolder.assign(folder)) return;
    stripTrailingSeparator(strippedFolder);
    PathBuffer execFileLine;
    PathBuffer textDirLine;
    // A truncated path in the host's registration file would be worse than none.
    if (!execFileLine.appendAll("exec_file ", strippedFolder.view(), "\\x86e_win64\\obj\\orvbridge.dll")) return;
    if (!textDirLine.appendAll("text_dir ", std::string_view(folder))) return;
    appendEntry(folder, execFileLine.c_str(), textDirLine.c_str());
}

void removeAuxAppEntry(const char* folder)
{
    PathBuffer path;
    PathBuffer tempPath;
    if (!hostPath(folder, "\\text\\protk.dat", path) || !hostPath(folder, kTempFileName, tempPath)) return;

    // A read-only pass first: the temporary copy is made only when something
    // is to be taken out, so that a file without the entry never gets one
    // beside it that a failing delete could leave behind.
    FilterResult scan;
    {
        pf::TextStream original = pf::TextStream::open(path.c_str(), "r");
        if (!original) return;
        scan = copyWithoutEntries(original, nullptr);
        if (!original.close()) return;
    }
    if (!scan.complete) return;
    // A folder without the host executable no longer holds a host; its file
    // goes once nothing but empty lines is left in it.
    if (!hasHostExecutable(folder) && scan.onlyEmptyLinesLeft) {
        pf::removeFile(path.c_str());
        return;
    }
    if (scan.entriesRemoved == 0) return;

    FilterResult result;
    {
        pf::TextStream original = pf::TextStream::open(path.c_str(), "r");
        if (!original) return;
        pf::TextStream copy = pf::TextStream::open(tempPath.c_str(), "w");
        if (!copy) return;
        result = copyWithoutEntries(original, &copy);
    }
    // Only a complete copy that left something out replaces the host's file.
    if (!result.complete || result.entriesRemoved == 0) {
        pf::removeFile(tempPath.c_str());
        return;
    }
    if (!pf::replaceFile(tempPath.c_str(), path.c_str())) pf::removeFile(tempPath.c_str());
}

}  // namespace ca

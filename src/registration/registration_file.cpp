#include "registration/registration_file.h"

#include "core/fixed_string.h"
#include "core/paths.h"
#include "model/host_folder.h"
#include "model/manifest.h"
#include "platform/files.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ca {
namespace {

// The entry's identity: this line, line end included, and nothing else.
constexpr std::string_view kNameLine = "name Orvella\n";
// The name line and the six lines after it make up the entry.
constexpr int kLinesAfterNameLine = 6;
// The file is read and written in blocks of this size: a call per line made
// large files slow to edit, and memory stays the same for any size of file.
constexpr std::size_t kBlockSize = 64 * 1024;
constexpr std::string_view kTempFileName = "text\\123protk_xyz.dat";

// Where the first name line in [p, stop) starts, or stop. A name line is a
// whole line, so it starts at p only when p starts a line.
const char* findNameLine(const char* p, const char* stop, bool atLineStart)
{
    const std::size_t size = kNameLine.size();
    if (atLineStart && static_cast<std::size_t>(stop - p) >= size && std::memcmp(p, kNameLine.data(), size) == 0)
        return p;
    // Elsewhere it follows a line feed. A vector of candidates at a time, by
    // the line feed before, the 'O' and the line feed that ends it: a search
    // for the whole text was the slowest step of reading a large file.
    const char* c = p;
#if defined(__SSE2__)
    const __m128i newline = _mm_set1_epi8('\n');
    constexpr std::size_t kLetter = 5;  // the 'O'
    const __m128i letter = _mm_set1_epi8(kNameLine[kLetter]);
    while (static_cast<std::size_t>(stop - c) >= size + 16) {
        const auto load = [](const char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
        const __m128i hits =
            _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(load(c), newline), _mm_cmpeq_epi8(load(c + 1 + kLetter), letter)),
                          _mm_cmpeq_epi8(load(c + size), newline));
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0; mask &= mask - 1) {
            const char* candidate = c + __builtin_ctz(mask) + 1;
            if (std::memcmp(candidate, kNameLine.data(), size) == 0) return candidate;
        }
        c += 16;
    }
#endif
    for (; static_cast<std::size_t>(stop - c) > size; ++c)
        if (*c == '\n' && std::memcmp(c + 1, kNameLine.data(), size) == 0) return c + 1;
    return stop;
}

struct FilterResult {
    bool complete = false;       // the whole file was read and the whole copy written
    int entriesRemoved = 0;
    bool onlyEmptyLinesLeft = true;
};

// Copies `from` to `to` without the add-in's entries; without `to`, only
// tells what a copy would leave out. With `stopAtEntry` it stops reading at
// the first entry.
FilterResult copyWithoutEntries(platform::TextStream& from, platform::TextStream* to, bool stopAtEntry = false)
{
    FilterResult result;
    // Room for a block after the start of a name line held back from the last one.
    const std::size_t holdBack = kNameLine.size() - 1;
    const auto buffer = std::make_unique_for_overwrite<char[]>(holdBack + kBlockSize);
    // What a block keeps is gathered at the buffer's start and written in one go.
    char* kept = buffer.get();
    const auto keep = [&](const char* p, const char* stop) {
        if (result.onlyEmptyLinesLeft)
            result.onlyEmptyLinesLeft = std::all_of(p, stop, [](char c) { return c == '\n'; });
        if (kept != p) std::memmove(kept, p, static_cast<std::size_t>(stop - p));
        kept += stop - p;
    };
    bool written = true;
    std::size_t held = 0;
    bool atLineStart = true;  // the unread text starts a line
    int linesToDrop = 0;      // of the current entry, its name line included
    for (bool atEnd = false; !atEnd;) {
        const std::size_t got = from.read(buffer.get() + held, kBlockSize);
        atEnd = got == 0;
        const char* p = buffer.get();
        const char* const stop = p + held + got;
        kept = buffer.get();
        while (p != stop) {
            if (linesToDrop > 0) {
                const auto* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(stop - p)));
                if (lineEnd == nullptr) {
                    p = stop;
                    break;
                }
                p = lineEnd + 1;
                --linesToDrop;
                atLineStart = true;
                continue;
            }
            const char* name = findNameLine(p, stop, atLineStart);
            if (name != stop) {
                keep(p, name);
                ++result.entriesRemoved;
                if (stopAtEntry) return result;
                linesToDrop = 1 + kLinesAfterNameLine;
                p = name;
                continue;
            }
            // The last few bytes may start a name line that the next block ends.
            const char* cut = atEnd ? stop : std::max(p, stop - holdBack);
            keep(p, cut);
            if (cut != p) atLineStart = cut[-1] == '\n';
            p = cut;
            break;
        }
        const auto size = static_cast<std::size_t>(kept - buffer.get());
        if (to != nullptr && size > 0) written = to->putBytes(buffer.get(), size) && written;
        held = static_cast<std::size_t>(stop - p);
        std::memmove(buffer.get(), p, held);
    }
    const bool readToEnd = !from.hadError();
    const bool closed = to == nullptr || to->close();
    result.complete = readToEnd && written && closed;
    return result;
}

// True when the file already lists the add-in. A read error counts as listed:
// appending to a file that could not be read might register the add-in twice.
bool holdsNameLine(platform::TextStream& file)
{
    return copyWithoutEntries(file, nullptr, true).entriesRemoved > 0 || file.hadError();
}

void appendEntry(std::string_view folder, const char* execFileLine, const char* textDirLine)
{
    PathBuffer path;
    if (!HostFolder::stripped(folder).path(kRegistrationFile, path)) return;
    platform::TextStream file = platform::TextStream::open(path.c_str(), "a+");
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

}  // namespace

void addAuxAppEntry(const Session& /*session*/, std::string_view folder)
{
    // The host expands its own variables when it reads the file.
    const std::string execFileLine = "exec_file $PRO_DIRECTORY\\$PRO_MACHINE_TYPE\\obj\\" + std::string(kModuleName);
    appendEntry(folder, execFileLine.c_str(), "text_dir $PRO_DIRECTORY");
}

void addCmdAuxAppEntry(const Session& /*session*/, std::string_view folder)
{
    PathBuffer strippedFolder;
    if (!strippedFolder.assign(folder)) return;
    stripTrailingSeparator(strippedFolder);
    PathBuffer execFileLine;
    PathBuffer textDirLine;
    // A truncated path in the host's registration file would be worse than none.
    if (!execFileLine.appendAll("exec_file ", strippedFolder.view(), "\\", kObjectFolder, "\\", kModuleName)) return;
    if (!textDirLine.appendAll("text_dir ", folder)) return;
    appendEntry(folder, execFileLine.c_str(), textDirLine.c_str());
}

void removeAuxAppEntry(const Session& /*session*/, std::string_view folder)
{
    const HostFolder host = HostFolder::stripped(folder);
    PathBuffer path;
    PathBuffer tempPath;
    if (!host.path(kRegistrationFile, path) || !host.path(kTempFileName, tempPath)) return;

    // A read-only pass first: the temporary copy is made only when something
    // is to be taken out, so that a file without the entry never gets one
    // beside it that a failing delete could leave behind.
    FilterResult scan;
    {
        platform::TextStream original = platform::TextStream::open(path.c_str(), "r");
        if (!original) return;
        scan = copyWithoutEntries(original, nullptr);
        if (!original.close()) return;
    }
    if (!scan.complete) return;
    // A folder without the host executable no longer holds a host; its file
    // goes once nothing but empty lines is left in it.
    if (!hasHostExecutable(folder) && scan.onlyEmptyLinesLeft) {
        platform::removeFile(path.c_str());
        return;
    }
    if (scan.entriesRemoved == 0) return;

    FilterResult result;
    {
        platform::TextStream original = platform::TextStream::open(path.c_str(), "r");
        if (!original) return;
        platform::TextStream copy = platform::TextStream::open(tempPath.c_str(), "w");
        if (!copy) return;
        result = copyWithoutEntries(original, &copy);
    }
    // Only a complete copy that left something out replaces the host's file.
    if (!result.complete || result.entriesRemoved == 0) {
        platform::removeFile(tempPath.c_str());
        return;
    }
    if (!platform::replaceFile(tempPath.c_str(), path.c_str())) platform::removeFile(tempPath.c_str());
}

}  // namespace ca

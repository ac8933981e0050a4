#include "registration/registration_file.h"

#include "core/fixed_string.h"
#include "core/log.h"
#include "core/paths.h"
#include "model/host_folder.h"
#include "model/manifest.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "registration/protk_lines.h"
#include "registration/protk_rewrite.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ca {
namespace {

// What the host sees of the file, and how its lines end.
struct FileView {
    bool registered = false;                // our name line comes before any Ctrl-Z
    std::optional<std::uint64_t> ctrlZ;     // where the host stops reading
    bool crLf = false;                      // some line ends in CR LF
    bool lineFeed = false;                  // some line ends in a bare LF
};

bool viewFile(platform::File& file, FileView& view)
{
    std::uint64_t offset = 0;
    LineReader reader(file);
    for (std::string_view line; reader.next(line);) {
        if (line.size() >= 2 && line.substr(line.size() - 2) == "\r\n")
            view.crLf = true;
        else if (!line.empty() && line.back() == '\n')
            view.lineFeed = true;
        if (!view.ctrlZ) {
            const std::size_t at = line.find(kCtrlZ);
            if (at != std::string_view::npos) view.ctrlZ = offset + at;
            if (classifyLine(line.substr(0, at)) == LineKind::ourName) view.registered = true;
        }
        offset += line.size();
    }
    return !reader.failed();
}

std::string entryText(const char* execFileLine, const char* textDirLine, const char* lineEnd)
{
    std::string entry = lineEnd;  // the empty line that sets the entry apart
    for (const char* line : {"name Orvella", "startup DLL", "delay_start FALSE", "allow_stop  TRUE", execFileLine,
                             textDirLine, "end"}) {
        entry += line;
        entry += lineEnd;
    }
    return entry;
}

bool appendEntry(const Session& session, std::string_view folder, const char* execFileLine, const char* textDirLine)
{
    const HostFolder host = HostFolder::stripped(folder);
    PathBuffer path;
    if (!host.path(kRegistrationFile, path)) {
        session.log(concat("the protk.dat path of ", shown(folder), " does not fit 259 characters: not registered"));
        return false;
    }
    const std::string name = escaped(path.view());
    platform::File file = platform::File::open(path.c_str(), platform::FileOpen::readAppend);
    if (!file) return logFailed(session, platform::lastError(), "open ", name, " for appending"), false;
    FileView view;
    // A file that cannot be read whole might hold the entry already.
    if (!viewFile(file, view)) return logFailed(session, platform::lastError(), "read ", name), false;
    if (view.registered) return session.log(concat(name, " holds the Orvella entry already: left alone")), true;
    // The file's own line ends: LF where every line ends so, CR LF otherwise.
    const std::string entry = entryText(execFileLine, textDirLine, view.lineFeed && !view.crLf ? "\n" : "\r\n");
    const std::string added = concat(name, ": Orvella entry added (", escaped(execFileLine), ")");
    if (!view.ctrlZ) {
        // One write for the whole entry: the host must never read part of one.
        if (!file.write(entry.data(), entry.size()))
            return logFailed(session, platform::lastError(), "append to ", name), false;
        if (!file.close()) return logFailed(session, platform::lastError(), "close ", name), false;
        return session.log(added), true;
    }
    // After a Ctrl-Z the host would never read the entry.
    file.close();
    if (!insertBefore(session, host, *view.ctrlZ, entry)) return false;
    session.log(concat(added, " before the Ctrl-Z at byte ", std::to_string(*view.ctrlZ), ", where the host stops reading"));
    return true;
}

// Whole lines without the empty ones at their end, which may stand before a
// name line that follows.
std::string_view withoutTrailingEmptyLines(std::string_view lines)
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
        const LineKind kind = classifyLine(line);
        if (inEntry_) {
            if (kind != LineKind::name && kind != LineKind::ourName) {
                if (kind == LineKind::end) inEntry_ = false;
                return;
            }
            inEntry_ = false;
        }
        if (kind == LineKind::ourName) {
            ++entries_;
            heldEmpty_.clear();
            inEntry_ = true;
            return;
        }
        if (!heldEmpty_.empty()) {
            flushRun();
            keep(heldEmpty_);
            flushRun();
            heldEmpty_.clear();
        }
        if (kind == LineKind::empty)
            heldEmpty_ = line;
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
    bool inEntry_ = false;
    int entries_ = 0;
    bool onlyLineEnds_ = true;
};

}  // namespace

bool addAuxAppEntry(const Session& session, std::string_view folder)
{
    // The host expands its own variables when it reads the file.
    const std::string execFileLine = "exec_file $PRO_DIRECTORY\\$PRO_MACHINE_TYPE\\obj\\" + std::string(kModuleName);
    return appendEntry(session, folder, execFileLine.c_str(), "text_dir $PRO_DIRECTORY");
}

bool addCmdAuxAppEntry(const Session& session, std::string_view folder)
{
    PathBuffer strippedFolder;
    PathBuffer execFileLine;
    PathBuffer textDirLine;
    // A truncated path in the host's registration file would be worse than none.
    if (!strippedFolder.assign(folder) ||
        (stripTrailingSeparator(strippedFolder),
         !execFileLine.appendAll("exec_file ", strippedFolder.view(), "\\", kObjectFolder, "\\", kModuleName)) ||
        !textDirLine.appendAll("text_dir ", folder)) {
        session.log(concat("the entry's paths for ", shown(folder), " do not fit 259 characters: not registered"));
        return false;
    }
    return appendEntry(session, folder, execFileLine.c_str(), textDirLine.c_str());
}

bool removeAuxAppEntry(const Session& session, std::string_view folder, FileOwner owner)
{
    const HostFolder host = HostFolder::stripped(folder);
    PathBuffer path;
    if (!host.path(kRegistrationFile, path)) return true;
    const std::string name = escaped(path.view());

    // A look at the bytes first: a file that never names the add-in is left
    // as it is, without a temporary file beside it.
    bool mentionsOurName = false;
    bool onlyLineEnds = true;
    {
        platform::File original = platform::File::open(path.c_str(), platform::FileOpen::read);
        if (!original) {
            const platform::Status code = platform::lastError();
            if (code == platform::kFileNotFound || code == platform::kPathNotFound)
                return session.log(concat(name, " is not there: nothing to unregister")), true;
            return logFailed(session, code, "open ", name), false;
        }
        if (!surveyBytes(original, mentionsOurName, onlyLineEnds))
            return logFailed(session, platform::lastError(), "read ", name), false;
        if (!original.close()) return logFailed(session, platform::lastError(), "close ", name), false;
    }
    // A file that holds nothing of anyone else's goes when it was ours, or
    // (without a record) when the folder no longer holds a host.
    const bool ours = owner == FileOwner::addIn || (owner == FileOwner::unknown && !hasHostExecutable(folder));
    const auto deleteWhole = [&] {
        if (!platform::deleteFile(path.c_str())) return logFailed(session, platform::lastError(), "delete ", name);
        session.log(concat(name, " deleted: it held nothing of anyone else's, and ",
                           owner == FileOwner::addIn ? "the host had none before" : "the folder holds no host any more"));
    };
    if (!mentionsOurName) {
        if (onlyLineEnds && ours)
            deleteWhole();
        else
            session.log(concat(name, " holds no Orvella entry: left alone"));
        return true;
    }
    int entries = 0;
    bool readWhole = false;
    bool nothingElse = false;
    const bool removed = rewrite(session, host, [&](platform::File& original, BlockWriter& out) {
        EntryRemover remover(&out);
        if (!remover.run(original)) return logFailed(session, platform::lastError(), "read ", name), false;
        readWhole = true;
        entries = remover.entries();
        nothingElse = remover.onlyLineEndsKept();
        return entries > 0;
    });
    if (!removed) {
        if (readWhole && entries == 0) session.log(concat(name, " holds no Orvella entry: left alone"));
        return readWhole && entries == 0;
    }
    session.log(concat(name, ": ", std::to_string(entries), " Orvella ", entries == 1 ? "entry" : "entries", " removed"));
    if (nothingElse && ours) deleteWhole();
    return true;
}

}  // namespace ca

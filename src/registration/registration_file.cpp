#include "registration/registration_file.h"

#include "core/fixed_string.h"
#include "core/log.h"
#include "core/paths.h"
#include "model/host_folder.h"
#include "model/manifest.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "registration/entry_remover.h"
#include "registration/protk_lines.h"
#include "registration/protk_rewrite.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ca {
namespace {

// What the host sees of the file, and how its lines end.
struct FileView {
    bool registered = false;                // our name line, where an entry starts, before any Ctrl-Z
    std::optional<std::uint64_t> ctrlZ;     // where the host stops reading
    bool crLf = false;                      // some line ends in CR LF
    bool lineFeed = false;                  // some line ends in a bare LF
    bool wide = false;                      // UTF-16 text (a byte-order mark): not ours to edit
    // Where the entry goes, the last line has no line end and, once the
    // entry's first line end completes it, another add-in's entry is still
    // open there: the entry then needs an empty line of its own before it.
    bool openAfterLineFeed = false;
    bool openAfterCrLf = false;
};

bool viewFile(platform::File& file, FileView& view)
{
    std::uint64_t offset = 0;
    LineReader reader(file);
    EntryScope scope;
    EntryScope beforeLast;
    std::string lastOpen;  // a last line without its line end, where the entry goes
    for (std::string_view line; reader.next(line);) {
        if (offset == 0) view.wide = startsWide(line);
        if (line.ends_with("\r\n"))
            view.crLf = true;
        else if (line.ends_with('\n'))
            view.lineFeed = true;
        if (!view.ctrlZ) {
            const std::size_t at = line.find(kCtrlZ);
            const std::string_view seen = line.substr(0, at);
            if (at != std::string_view::npos) view.ctrlZ = offset + at;
            if (!seen.empty()) {
                beforeLast = scope;
                if (scope.next(seen) == LineKind::ourName) view.registered = true;
                lastOpen = seen.back() == '\n' ? std::string() : std::string(seen);
            }
        }
        offset += line.size();
    }
    if (!lastOpen.empty()) {
        for (const auto& [lineEnd, open] : {std::pair{"\n", &view.openAfterLineFeed}, std::pair{"\r\n", &view.openAfterCrLf}}) {
            EntryScope completed = beforeLast;
            completed.next(lastOpen + lineEnd);
            *open = completed.insideOther();
        }
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
        platform::setLastError(platform::kFilenameTooLong);
        return false;
    }
    const std::string name = escaped(path.view());
    platform::File file = platform::File::open(path.c_str(), platform::FileOpen::readAppend);
    if (!file) return logFailed(session, platform::lastError(), "open ", name, " for appending"), false;
    FileView view;
    // A file that cannot be read whole might hold the entry already.
    if (!viewFile(file, view)) return logFailed(session, platform::lastError(), "read ", name), false;
    if (view.wide) return session.log(concat(name, " is UTF-16 text: not registered, lines of ours would not read there")), false;
    if (view.registered) return session.log(concat(name, " holds the Orvella entry already: left alone")), true;
    // The file's own line ends: LF where every line ends so, CR LF otherwise.
    const bool lineFeeds = view.lineFeed && !view.crLf;
    const char* lineEnd = lineFeeds ? "\n" : "\r\n";
    const bool apart = lineFeeds ? view.openAfterLineFeed : view.openAfterCrLf;
    const std::string entry = (apart ? lineEnd : "") + entryText(execFileLine, textDirLine, lineEnd);
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

// The entries a removal would take out, counted before any temporary file is
// made: a name that stands where no entry starts is no reason to make one,
// and one that could not be deleted again would stay. -1: unreadable (logged).
int entriesIn(const Session& session, const PathBuffer& path, const std::string& name)
{
    platform::File file = platform::File::open(path.c_str(), platform::FileOpen::read);
    EntryRemover counter(nullptr);
    if (file && counter.run(file)) return counter.entries();
    return logFailed(session, platform::lastError(), file ? "read " : "open ", name), -1;
}

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
        platform::setLastError(platform::kFilenameTooLong);
        return false;
    }
    return appendEntry(session, folder, execFileLine.c_str(), textDirLine.c_str());
}

bool removeAuxAppEntry(const Session& session, std::string_view folder, FileOwner owner)
{
    const HostFolder host = HostFolder::stripped(folder);
    PathBuffer path;
    // No entry was ever added where the path does not fit.
    if (!host.path(kRegistrationFile, path)) return true;
    const std::string name = escaped(path.view());
    // A look at the bytes first: a file that never names the add-in is left as it is.
    ByteSurvey bytes;
    {
        platform::File original = platform::File::open(path.c_str(), platform::FileOpen::read);
        if (!original) {
            const platform::Status code = platform::lastError();
            if (code == platform::kFileNotFound || code == platform::kPathNotFound)
                return session.log(concat(name, " is not there: nothing to unregister")), true;
            return logFailed(session, code, "open ", name), false;
        }
        if (!surveyBytes(original, bytes))
            return logFailed(session, platform::lastError(), "read ", name), false;
        if (!original.close()) return logFailed(session, platform::lastError(), "close ", name), false;
    }
    // A file that holds nothing of anyone else's goes when it was ours, or
    // (without a record) when the folder no longer holds a host. A link is
    // the host's way to share a file: it stays.
    const bool ours = (owner == FileOwner::addIn || (owner == FileOwner::unknown && !hasHostExecutable(folder))) &&
                      !platform::isLink(path.c_str());
    const auto deleteWhole = [&] {
        if (!platform::deleteFile(path.c_str())) return logFailed(session, platform::lastError(), "delete ", name), false;
        session.log(concat(name, " deleted: it held nothing of anyone else's, and ",
                           owner == FileOwner::addIn ? "the add-in had created it" : "the folder holds no host any more"));
        return true;
    };
    if (bytes.wide) return session.log(concat(name, " is UTF-16 text, which the add-in never edits: left alone")), true;
    const int found = bytes.mentionsOurName ? entriesIn(session, path, name) : 0;
    if (found < 0) return false;
    if (found == 0) {
        if (bytes.onlyLineEnds && ours) return deleteWhole();
        return session.log(concat(name, " holds no Orvella entry: left alone")), true;
    }
    int entries = 0;
    bool read = false;  // only a file read to its end is known to hold no entry
    bool nothingElse = false;
    const bool removed = rewrite(session, host, [&](platform::File& original, BlockWriter& out) {
        EntryRemover remover(&out);
        read = remover.run(original);
        if (!read) return logFailed(session, platform::lastError(), "read ", name), false;
        entries = remover.entries();
        nothingElse = remover.onlyLineEndsKept();
        return entries > 0;
    });
    if (!removed) {
        // Nothing to take out is no failure; a file that could not be read or replaced keeps the entry.
        if (read && entries == 0) return session.log(concat(name, " holds no Orvella entry: left alone")), true;
        session.log(concat(name, ": the Orvella entry could not be taken out and stays"));
        return false;
    }
    session.log(concat(name, ": ", std::to_string(entries), " Orvella ", entries == 1 ? "entry" : "entries", " removed"));
    return !(nothingElse && ours) || deleteWhole();
}

}  // namespace ca

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
    return forEachLine(file, [&](std::string_view line) {
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
    });
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

void appendEntry(const Session& session, std::string_view folder, const char* execFileLine, const char* textDirLine)
{
    const HostFolder host = HostFolder::stripped(folder);
    PathBuffer path;
    if (!host.path(kRegistrationFile, path)) {
        session.log(concat("the protk.dat path of ", shown(folder), " does not fit 259 characters: not registered"));
        return;
    }
    const std::string name = escaped(path.view());
    platform::File file = platform::File::open(path.c_str(), platform::FileOpen::readAppend);
    if (!file) return logFailed(session, platform::lastError(), "open ", name, " for appending");
    FileView view;
    // A file that cannot be read whole might hold the entry already.
    if (!viewFile(file, view)) return logFailed(session, platform::lastError(), "read ", name);
    if (view.registered) return session.log(concat(name, " holds the Orvella entry already: left alone"));
    // The file's own line ends: LF where every line ends so, CR LF otherwise.
    const std::string entry = entryText(execFileLine, textDirLine, view.lineFeed && !view.crLf ? "\n" : "\r\n");
    const std::string added = concat(name, ": Orvella entry added (", escaped(execFileLine), ")");
    if (!view.ctrlZ) {
        // One write for the whole entry: the host must never read part of one.
        if (!file.write(entry.data(), entry.size())) return logFailed(session, platform::lastError(), "append to ", name);
        if (!file.close()) return logFailed(session, platform::lastError(), "close ", name);
        return session.log(added);
    }
    // After a Ctrl-Z the host would never read the entry.
    file.close();
    if (insertBefore(session, host, *view.ctrlZ, entry))
        session.log(concat(added, " before the Ctrl-Z at byte ", std::to_string(*view.ctrlZ), ", where the host stops reading"));
}

// Drops our entries, each with the empty line before it: from its name line
// through its "end" line, or, without one, up to the next name line.
class EntryRemover {
public:
    explicit EntryRemover(BlockWriter* out) : out_(out) {}
    void line(std::string_view line)
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
        keep(heldEmpty_);
        heldEmpty_.clear();
        if (kind == LineKind::empty)
            heldEmpty_ = line;
        else
            keep(line);
    }
    void finish() { keep(heldEmpty_); }
    int entries() const { return entries_; }
    bool onlyLineEndsKept() const { return onlyLineEnds_; }

private:
    void keep(std::string_view bytes)
    {
        if (onlyLineEnds_) onlyLineEnds_ = bytes.find_first_not_of("\r\n") == std::string_view::npos;
        if (out_ != nullptr && !bytes.empty()) out_->put(bytes);
    }
    BlockWriter* out_;
    std::string heldEmpty_;
    bool inEntry_ = false;
    int entries_ = 0;
    bool onlyLineEnds_ = true;
};

}  // namespace

void addAuxAppEntry(const Session& session, std::string_view folder)
{
    // The host expands its own variables when it reads the file.
    const std::string execFileLine = "exec_file $PRO_DIRECTORY\\$PRO_MACHINE_TYPE\\obj\\" + std::string(kModuleName);
    appendEntry(session, folder, execFileLine.c_str(), "text_dir $PRO_DIRECTORY");
}

void addCmdAuxAppEntry(const Session& session, std::string_view folder)
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
        return;
    }
    appendEntry(session, folder, execFileLine.c_str(), textDirLine.c_str());
}

void removeAuxAppEntry(const Session& session, std::string_view folder, FileOwner owner)
{
    const HostFolder host = HostFolder::stripped(folder);
    PathBuffer path;
    if (!host.path(kRegistrationFile, path)) return;
    const std::string name = escaped(path.view());

    // A read-only pass first: the file is rewritten only when something of
    // ours is in it.
    EntryRemover scan(nullptr);
    {
        platform::File original = platform::File::open(path.c_str(), platform::FileOpen::read);
        if (!original) {
            const platform::Status code = platform::lastError();
            if (code == platform::kFileNotFound || code == platform::kPathNotFound)
                return session.log(concat(name, " is not there: nothing to unregister"));
            return logFailed(session, code, "open ", name);
        }
        if (!forEachLine(original, [&scan](std::string_view line) { scan.line(line); }))
            return logFailed(session, platform::lastError(), "read ", name);
        scan.finish();
        if (!original.close()) return logFailed(session, platform::lastError(), "close ", name);
    }
    // A file that holds nothing of anyone else's goes when it was ours, or
    // when the folder no longer holds a host.
    const bool ours = owner == FileOwner::addIn || (owner == FileOwner::unknown && !hasHostExecutable(folder));
    if (scan.onlyLineEndsKept() && ours) {
        if (!platform::deleteFile(path.c_str())) return logFailed(session, platform::lastError(), "delete ", name);
        return session.log(concat(name, " deleted: it held nothing of anyone else's, and ",
                                  owner == FileOwner::addIn ? "the host had none before"
                                                            : "the folder holds no host any more"));
    }
    if (scan.entries() == 0) return session.log(concat(name, " holds no Orvella entry: left alone"));
    const bool removed = rewrite(session, host, [&](platform::File& original, BlockWriter& out) {
        EntryRemover remover(&out);
        if (!forEachLine(original, [&remover](std::string_view line) { remover.line(line); }))
            return logFailed(session, platform::lastError(), "read ", name), false;
        remover.finish();
        return remover.entries() > 0;
    });
    if (removed)
        session.log(concat(name, ": ", std::to_string(scan.entries()), " Orvella ",
                           scan.entries() == 1 ? "entry" : "entries", " removed"));
}

}  // namespace ca

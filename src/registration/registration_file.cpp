#include "registration/registration_file.h"

#include "core/fixed_string.h"
#include "core/paths.h"
#include "model/host_folder.h"
#include "model/manifest.h"
#include "platform/files.h"
#include "registration/protk_lines.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ca {
namespace {

// protk.tmp is never longer than protk.dat, so every entry that can be added
// can be removed again; protk.tm1 to protk.tm9 serve when a link stands there.
constexpr std::string_view kTemporaryFile = "text\\protk.tmp";
constexpr std::size_t kWriteBlock = 64 * 1024;

// Gathers what is written in blocks of 64 KB.
class BlockWriter {
public:
    explicit BlockWriter(platform::File& file) : file_(file) { buffer_.reserve(kWriteBlock); }
    void put(std::string_view bytes)
    {
        buffer_.append(bytes);
        if (buffer_.size() >= kWriteBlock) flush();
    }
    bool finish()
    {
        flush();
        return ok_;
    }

private:
    void flush()
    {
        if (!buffer_.empty()) ok_ = file_.write(buffer_.data(), buffer_.size()) && ok_;
        buffer_.clear();
    }
    platform::File& file_;
    std::string buffer_;
    bool ok_ = true;
};

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

// A new file beside protk.dat, created exclusively: a file left at the name
// by an earlier run is deleted first, a link is never touched (some systems
// delete what it points to) and the next name is taken instead.
platform::File createTemporary(const HostFolder& host, PathBuffer& temporary)
{
    for (const char last : std::string_view("p123456789")) {
        std::string name(kTemporaryFile);
        name.back() = last;
        if (!host.path(name, temporary) || platform::isLink(temporary.c_str())) continue;
        platform::deleteFile(temporary.c_str());
        platform::File out = platform::File::open(temporary.c_str(), platform::FileOpen::createNew);
        if (out) return out;
    }
    return {};
}

// Writes a new protk.dat through a temporary file, written whole by
// `produce`, closed, and renamed over the original in the same folder. Any
// failure leaves the original as it was.
bool rewrite(const HostFolder& host, const std::function<bool(platform::File& original, BlockWriter& out)>& produce)
{
    PathBuffer path;
    PathBuffer temporary;
    if (!host.path(kRegistrationFile, path)) return false;
    platform::File out = createTemporary(host, temporary);
    if (!out) return false;
    bool complete = false;
    {
        platform::File original = platform::File::open(path.c_str(), platform::FileOpen::read);
        BlockWriter writer(out);
        complete = original && produce(original, writer) && writer.finish();
    }
    complete = out.close() && complete;
    if (complete && platform::replaceFile(temporary.c_str(), path.c_str())) return true;
    platform::deleteFile(temporary.c_str());
    return false;
}

// Copies the original with `entry` inserted where the host stops reading.
bool insertBefore(const HostFolder& host, std::uint64_t at, const std::string& entry)
{
    return rewrite(host, [&](platform::File& original, BlockWriter& out) {
        std::uint64_t offset = 0;
        const bool read = forEachLine(original, [&](std::string_view line) {
            if (offset <= at && at < offset + line.size()) {
                const std::size_t split = static_cast<std::size_t>(at - offset);
                out.put(line.substr(0, split));
                out.put(entry);
                out.put(line.substr(split));
            } else {
                out.put(line);
            }
            offset += line.size();
        });
        return read;
    });
}

void appendEntry(std::string_view folder, const char* execFileLine, const char* textDirLine)
{
    const HostFolder host = HostFolder::stripped(folder);
    PathBuffer path;
    if (!host.path(kRegistrationFile, path)) return;
    platform::File file = platform::File::open(path.c_str(), platform::FileOpen::readAppend);
    FileView view;
    // A file that cannot be read whole might hold the entry already.
    if (!file || !viewFile(file, view) || view.registered) return;
    // The file's own line ends: LF where every line ends so, CR LF otherwise.
    const std::string entry = entryText(execFileLine, textDirLine, view.lineFeed && !view.crLf ? "\n" : "\r\n");
    if (!view.ctrlZ) {
        // One write for the whole entry: the host must never read part of one.
        file.write(entry.data(), entry.size());
        file.close();
        return;
    }
    // After a Ctrl-Z the host would never read the entry.
    file.close();
    insertBefore(host, *view.ctrlZ, entry);
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

void removeAuxAppEntry(const Session& /*session*/, std::string_view folder, FileOwner owner)
{
    const HostFolder host = HostFolder::stripped(folder);
    PathBuffer path;
    if (!host.path(kRegistrationFile, path)) return;

    // A read-only pass first: the file is rewritten only when something of
    // ours is in it.
    EntryRemover scan(nullptr);
    {
        platform::File original = platform::File::open(path.c_str(), platform::FileOpen::read);
        if (!original || !forEachLine(original, [&scan](std::string_view line) { scan.line(line); })) return;
        scan.finish();
        if (!original.close()) return;
    }
    // A file that holds nothing of anyone else's goes when it was ours, or
    // (without a record) when the folder no longer holds a host.
    const bool ours = owner == FileOwner::addIn || (owner == FileOwner::unknown && !hasHostExecutable(folder));
    if (scan.onlyLineEndsKept() && ours) {
        platform::deleteFile(path.c_str());
        return;
    }
    if (scan.entries() == 0) return;
    rewrite(host, [](platform::File& original, BlockWriter& out) {
        EntryRemover remover(&out);
        if (!forEachLine(original, [&remover](std::string_view line) { remover.line(line); })) return false;
        remover.finish();
        return remover.entries() > 0;
    });
}

}  // namespace ca

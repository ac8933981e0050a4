#include "registration/protk_rewrite.h"

#include "core/file_work.h"
#include "core/log.h"
#include "core/paths.h"
#include "platform/errors.h"
#include "registration/protk_lines.h"

namespace ca {
namespace {

// protk.tmp's name is no longer than protk.dat's, so every entry that can be
// added can be removed again; protk.tm1 to protk.tm9 serve when something
// that is not ours stands at the name.
constexpr std::string_view kTemporaryName = "protk.tmp";
constexpr std::size_t kWriteBlock = 64 * 1024;

// Where the edit is made: the file the host reads and the folder it lies in.
// A link is the host's (or its administrator's) way to share one file: the
// edit goes to the file it leads to, and the link stays as it is.
bool editPlace(const Session& session, const HostFolder& host, PathBuffer& file, PathBuffer& folder)
{
    if (!host.path(kRegistrationFile, file) || !host.path(std::string(kTextFolder) + "\\", folder))
        return platform::setLastError(platform::kFilenameTooLong), false;
    if (!platform::isLink(file.c_str())) return true;
    const std::string link = escaped(file.view());
    std::string target;
    if (!platform::finalPath(file.c_str(), target))
        return logFailed(session, platform::lastError(), "follow the link ", link), false;
    const std::size_t cut = lastSeparator(target);
    if (cut == std::string::npos || !folder.assign(std::string_view(target).substr(0, cut + 1)) || !file.assign(target)) {
        session.log(concat(link, " is a link to ", escaped(target), ", whose path does not fit 259 characters"));
        return platform::setLastError(platform::kFilenameTooLong), false;
    }
    session.log(concat(link, " is a link to ", escaped(target), ": the edit goes there"));
    return true;
}

// A new file beside protk.dat, created exclusively. Nothing standing at the
// name is ever deleted: it may be a user's file, or a link whose target some
// systems delete with it. The next name is taken instead.
platform::File createTemporary(const Session& session, const PathBuffer& folder, PathBuffer& temporary)
{
    for (const char last : std::string_view("p123456789")) {
        std::string name(kTemporaryName);
        name.back() = last;
        if (!temporary.assign(folder.view()) || !temporary.append(name))
            return platform::setLastError(platform::kFilenameTooLong), platform::File();
        const std::string shownName = escaped(temporary.view());
        if (platform::isLink(temporary.c_str())) {
            session.log(concat(shownName, " is a link: left alone, another name is taken"));
            continue;
        }
        platform::File out = platform::File::open(temporary.c_str(), platform::FileOpen::createNew);
        if (out) return out;
        const platform::Status code = platform::lastError();
        if (code != platform::kFileExists && code != platform::kAlreadyExists) {
            logFailed(session, code, "create ", shownName);
            return {};
        }
        session.log(concat(shownName, " is there already and is not ours: left alone, another name is taken"));
    }
    session.log(concat("no free name for a temporary file in ", escaped(folder.view()), ": protk.dat left as it is"));
    return {};
}

}  // namespace

BlockWriter::BlockWriter(platform::File& file) : file_(file) { buffer_.reserve(kWriteBlock); }

void BlockWriter::put(std::string_view bytes)
{
    // A long run of kept lines goes out as it stands, without a copy.
    if (bytes.size() >= kWriteBlock / 2) {
        flush();
        if (!file_.write(bytes.data(), bytes.size()) && error_ == platform::kSuccess) error_ = platform::lastError();
        return;
    }
    buffer_.append(bytes);
    if (buffer_.size() >= kWriteBlock) flush();
}

bool BlockWriter::finish()
{
    flush();
    return error_ == platform::kSuccess;
}

void BlockWriter::flush()
{
    if (!buffer_.empty() && !file_.write(buffer_.data(), buffer_.size()) && error_ == platform::kSuccess)
        error_ = platform::lastError();
    buffer_.clear();
}

bool rewrite(const Session& session, const HostFolder& host,
             const std::function<bool(platform::File& original, BlockWriter& out)>& produce)
{
    PathBuffer path;
    PathBuffer folder;
    PathBuffer temporary;
    if (!editPlace(session, host, path, folder)) return false;
    platform::File out = createTemporary(session, folder, temporary);
    if (!out) return false;
    const std::string name = escaped(temporary.view());
    bool complete = false;
    {
        platform::File original = platform::File::open(path.c_str(), platform::FileOpen::read);
        if (!original) logFailed(session, platform::lastError(), "open ", escaped(path.view()));
        BlockWriter writer(out);
        // `produce` logs a failure to read the original; the writer's own is logged here.
        complete = original && produce(original, writer);
        if (complete && !writer.finish()) {
            logFailed(session, writer.error(), "write ", name);
            complete = false;
        }
    }
    if (!out.close() && complete) {
        logFailed(session, platform::lastError(), "close ", name);
        complete = false;
    }
    if (complete) {
        if (platform::replaceFile(temporary.c_str(), path.c_str())) return true;
        logFailed(session, platform::lastError(), "replace ", escaped(path.view()), " with ", name);
    }
    // Held by another process now (a scanner, say), it goes at the next restart.
    FileWork(session, host.text()).deleteFile(temporary.c_str());
    return false;
}

bool insertBefore(const Session& session, const HostFolder& host, std::uint64_t at, const std::string& entry)
{
    return rewrite(session, host, [&](platform::File& original, BlockWriter& out) {
        std::uint64_t offset = 0;
        LineReader reader(original);
        for (std::string_view line; reader.next(line);) {
            if (offset <= at && at < offset + line.size()) {
                const std::size_t split = static_cast<std::size_t>(at - offset);
                out.put(line.substr(0, split));
                out.put(entry);
                out.put(line.substr(split));
            } else {
                out.put(line);
            }
            offset += line.size();
        }
        const bool read = !reader.failed();
        if (!read) {
            PathBuffer path;
            host.path(kRegistrationFile, path);
            logFailed(session, platform::lastError(), "read ", escaped(path.view()));
        }
        return read;
    });
}

}  // namespace ca

#include "registration/protk_rewrite.h"

#include "core/log.h"
#include "platform/errors.h"
#include "registration/protk_lines.h"

namespace ca {
namespace {

// protk.tmp is never longer than protk.dat, so every entry that can be added
// can be removed again; protk.tm1 to protk.tm9 serve when a link stands there.
constexpr std::string_view kTemporaryFile = "text\\protk.tmp";
constexpr std::size_t kWriteBlock = 64 * 1024;

// A new file beside protk.dat, created exclusively: a file left at the name
// by an earlier run is deleted first, a link is never touched (some systems
// delete what it points to) and the next name is taken instead.
platform::File createTemporary(const Session& session, const HostFolder& host, PathBuffer& temporary)
{
    for (const char last : std::string_view("p123456789")) {
        std::string name(kTemporaryFile);
        name.back() = last;
        if (!host.path(name, temporary)) return {};
        const std::string shownName = escaped(temporary.view());
        if (platform::isLink(temporary.c_str())) {
            session.log(concat(shownName, " is a link: left alone, another name is taken"));
            continue;
        }
        if (!platform::deleteFile(temporary.c_str())) {
            const platform::Status code = platform::lastError();
            if (code != platform::kFileNotFound && code != platform::kPathNotFound)
                logFailed(session, code, "delete ", shownName);
        }
        platform::File out = platform::File::open(temporary.c_str(), platform::FileOpen::createNew);
        if (out) return out;
        logFailed(session, platform::lastError(), "create ", shownName);
    }
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
    PathBuffer temporary;
    if (!host.path(kRegistrationFile, path)) return false;
    platform::File out = createTemporary(session, host, temporary);
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
    if (!platform::deleteFile(temporary.c_str())) logFailed(session, platform::lastError(), "delete ", name);
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

#include "model/host_folder.h"

#include "core/log.h"
#include "core/paths.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace ca {

HostFolder::HostFolder(std::string_view text, std::string_view base) : text_(text)
{
    valid_ = !text.empty() && base_.assign(base);
}

HostFolder HostFolder::given(std::string_view text)
{
    return HostFolder(text, std::string(text) + "\\");
}

HostFolder HostFolder::stripped(std::string_view text)
{
    std::string base(text);
    stripTrailingSeparator(base);
    return HostFolder(text, base + "\\");
}

bool HostFolder::path(std::string_view relative, PathBuffer& path) const
{
    path.clear();
    if (valid_ && path.appendAll(base_.view(), relative)) return true;
    path.clear();
    return false;
}

bool HostFolder::objectPath(std::string_view name, PathBuffer& path) const
{
    path.clear();
    if (valid_ && path.appendAll(base_.view(), kObjectFolder, "\\", name)) return true;
    path.clear();
    return false;
}

bool hasHostExecutable(std::string_view folder)
{
    PathBuffer executable;
    return HostFolder::stripped(folder).objectPath(kHostExecutable, executable) &&
           platform::getFileAttributes(executable.c_str()) != platform::kInvalidFileAttributes;
}

std::string noHostReason(std::string_view folder)
{
    PathBuffer executable;
    if (folder.empty()) return "names no folder";
    if (!HostFolder::stripped(folder).objectPath(kHostExecutable, executable))
        return concat("cannot hold a usable host: the path of its ", kObjectFolder, "\\", kHostExecutable,
                      " would not fit 259 characters");
    return concat("holds no ", kObjectFolder, "\\", kHostExecutable);
}

bool isRegistrationFileWritable(const Session& session, std::string_view folder)
{
    PathBuffer file;
    if (!HostFolder::stripped(folder).path(kRegistrationFile, file)) {
        session.log(concat("the protk.dat path of ", shown(folder), " does not fit 259 characters"));
        return false;
    }
    if (platform::getFileAttributes(file.c_str()) != platform::kInvalidFileAttributes) {
        // As bytes: a text-mode append would drop a final Ctrl-Z of the host's.
        platform::File existing = platform::File::open(file.c_str(), platform::FileOpen::readAppend);
        if (!existing) {
            logFailed(session, platform::lastError(), "open ", escaped(file.view()), " for appending");
            return false;
        }
        char mark[2] = {};
        std::size_t got = 0;
        if (!existing.read(mark, sizeof mark, got)) {
            logFailed(session, platform::lastError(), "read ", escaped(file.view()));
            return false;
        }
        const std::string_view start(mark, got);
        if (start == "\xff\xfe" || start == "\xfe\xff") {
            session.log(concat(escaped(file.view()), " is UTF-16 text: the add-in's lines would not read there"));
            return false;
        }
        return true;
    }
    // A check changes nothing: a file that can be created is gone again as it is closed.
    if (platform::File::open(file.c_str(), platform::FileOpen::probe)) return true;
    logFailed(session, platform::lastError(), "create ", escaped(file.view()));
    return false;
}

}  // namespace ca

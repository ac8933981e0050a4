// Whether a host's protk.dat names the add-in, read as the host reads it.
#include "core/log.h"
#include "model/host_folder.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "registration/protk_lines.h"
#include "registration/registration_file.h"

namespace ca {

bool holdsAuxAppEntry(const Session& session, std::string_view folder)
{
    PathBuffer path;
    if (!HostFolder::stripped(folder).path(kRegistrationFile, path)) return false;
    platform::File file = platform::File::open(path.c_str(), platform::FileOpen::read);
    if (!file) {
        const platform::Status code = platform::lastError();
        if (code != platform::kFileNotFound && code != platform::kPathNotFound)
            logFailed(session, code, "open ", escaped(path.view()));
        return false;
    }
    LineReader reader(file);
    EntryScope scope;
    bool first = true;
    for (std::string_view line; reader.next(line); first = false) {
        // A UTF-16 file names nothing the add-in wrote; the host stops reading at a Ctrl-Z.
        if (first && startsWide(line)) return false;
        const std::size_t ctrlZ = line.find(kCtrlZ);
        const std::string_view seen = line.substr(0, ctrlZ);
        if (!seen.empty() && scope.next(seen) == LineKind::ourName) return true;
        if (ctrlZ != std::string_view::npos) return false;
    }
    if (reader.failed()) logFailed(session, platform::lastError(), "read ", escaped(path.view()));
    return false;
}

}  // namespace ca

#include "model/host_failure.h"

#include "core/log.h"
#include "core/outcome.h"
#include "model/host_folder.h"

#include <cstring>

namespace ca {

void reportRegistrationFailure(const Session& session, const char* property, std::string_view folder)
{
    const platform::Status code = lastFailureCode();
    PathBuffer file;
    const bool fits = HostFolder::stripped(folder).path(kRegistrationFile, file);
    const bool adding = std::strcmp(property, kInstallErrorProperty) == 0;
    reportHostFailure(session, property, folder, fits ? escaped(file.view()) : std::string(kRegistrationFile),
                      adding ? "did not take the Orvella entry" : "still holds the Orvella entry", code);
}

}  // namespace ca

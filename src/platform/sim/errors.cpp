// The last error of the simulated machine, and the system texts of the
// codes that it produces, as Windows words them.
#include "platform/errors.h"
#include "platform/sim/machine_internal.h"

#include <map>

namespace platform {

Status lastError()
{
    sim::Machine* m = sim::Machine::Internal::live();
    return m != nullptr ? m->internal().lastError : 0;
}

void setLastError(Status code)
{
    if (sim::Machine* m = sim::Machine::Internal::live()) m->internal().lastError = code;
}

std::string errorText(Status code)
{
    static const std::map<Status, const char*> kTexts = {
        {1, "Incorrect function."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {4, "The system cannot open the file."},
        {5, "Access is denied."},
        {6, "The handle is invalid."},
        {8, "Not enough memory resources are available to process this command."},
        {18, "There are no more files."},
        {29, "The system cannot write to the specified device."},
        {30, "The system cannot read from the specified device."},
        {32, "The process cannot access the file because it is being used by another process."},
        {33, "The process cannot access the file because another process has locked a portion of the file."},
        {80, "The file exists."},
        {87, "The parameter is incorrect."},
        {112, "There is not enough space on the disk."},
        {122, "The data area passed to a system call is too small."},
        {145, "The directory is not empty."},
        {183, "Cannot create a file when that file already exists."},
        {203, "The system could not find the environment option that was entered."},
        {206, "The filename or extension is too long."},
        {234, "More data is available."},
        {259, "No more data is available."},
        {267, "The directory name is invalid."},
        {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
        {1615, "The SQL query syntax is invalid or unsupported."},
        {1627, "Function failed during execution."},
        {kComFailure, "Unspecified error"},
    };
    const auto it = kTexts.find(code);
    return it != kTexts.end() ? it->second : "";
}

}  // namespace platform

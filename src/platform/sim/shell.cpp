// The shell and message boxes: recorded for the test, never shown.
#include "platform/shell.h"
#include "platform/sim/machine_internal.h"

namespace platform {

void shellOpen(const char* target)
{
    sim::Machine::current().openedTargets().emplace_back(target != nullptr ? target : "");
}

int messageBox(const char* text, const char* caption, unsigned style)
{
    sim::Machine& m = sim::Machine::current();
    m.messageBoxes().push_back({text != nullptr ? text : "", caption != nullptr ? caption : "", style});
    return m.messageBoxAnswer;
}

}  // namespace platform

// The shell and message boxes over shell32 and user32.
#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

namespace platform {

void shellOpen(const char* target)
{
    ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL);
}

int messageBox(const char* text, const char* caption, unsigned style)
{
    return MessageBoxA(nullptr, text, caption, style);
}

}  // namespace platform

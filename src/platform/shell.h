// The shell and the user interface: opening an address, a modal message box.
#pragma once

namespace platform {

// ShellExecuteA(no owner, "open", target, no parameters, no folder, SW_SHOWNORMAL).
void shellOpen(const char* target);
// MessageBoxA with no owner window; returns the button pressed.
int messageBox(const char* text, const char* caption, unsigned style);

inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbIconExclamation = 0x30;

}  // namespace platform

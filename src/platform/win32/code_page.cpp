// The ANSI code page through kernel32.
#include "platform/code_page.h"

#include <windows.h>

namespace platform {

bool isLeadByte(char byte) { return IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(byte)) != FALSE; }

}  // namespace platform

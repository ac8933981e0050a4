// The system's ANSI code page, in which every narrow string the library
// handles is written. In a double-byte code page (932, Japanese) a lead byte
// and the byte after it make one character, and that second byte may be the
// code of '\' (0x5C) or of a letter: text is walked by characters, never bytes.
#pragma once

namespace platform {

// IsDBCSLeadByteEx(CP_ACP, byte): the byte starts a two-byte character.
bool isLeadByte(char byte);

}  // namespace platform

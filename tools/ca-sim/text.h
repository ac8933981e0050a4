// The simulated machine speaks ANSI in the scenario's code page (Windows-1252
// unless the scenario asks for 932); ca-sim's own files and its output are
// UTF-8. The conversions are the simulated machine's own.
#pragma once

#include "platform/sim/code_page.h"

#include <optional>
#include <string>
#include <string_view>

namespace casim {

// The code page of the machine that ca-sim runs and reports on; 1252 until a
// scenario sets another.
void useCodePage(const sim::CodePage& codePage);
const sim::CodePage& codePage();

// Text of the machine as the installer shows it: always valid UTF-8.
std::string utf8FromAnsi(std::string_view ansi);
// UTF-8 text as the machine receives it; nullopt when the text is not UTF-8
// or holds a character that the code page cannot write.
std::optional<std::string> ansiFromUtf8(std::string_view utf8);
// Text of the machine in UTF-16, as the installer compares it.
std::u16string wideFromAnsi(std::string_view ansi);

}  // namespace casim

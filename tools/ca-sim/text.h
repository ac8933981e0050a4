// The simulated machine speaks ANSI in the scenario's code page (Windows-1252
// unless the scenario asks for 932); ca-sim's own files and its output are
// UTF-8. The conversions are the simulated machine's own.
#pragma once

#include "platform/sim/code_page.h"

#include <optional>
#include <string>
#include <string_view>

namespace casim {

// The code page of the machine that ca-sim reads, runs and reports on; 1252
// until a scenario sets another. A running machine's own code page wins.
void useCodePage(const sim::CodePage& codePage);
const sim::CodePage& codePage();

// Text of the machine as the installer shows it: always valid UTF-8. Bytes
// that make no character become what MultiByteToWideChar makes of them.
std::string utf8FromAnsi(std::string_view ansi);
// UTF-8 text as the machine receives it; nullopt when the text is not UTF-8
// or holds a character that the code page cannot write.
std::optional<std::string> ansiFromUtf8(std::string_view utf8);
// Text of the machine in UTF-16, as the installer compares it.
std::u16string wideFromAnsi(std::string_view ansi);
// UTF-16 text as an ANSI caller reads it: '?' for a character that the code
// page cannot write, as WideCharToMultiByte's default character.
std::string ansiFromWide(std::u16string_view wide);
// UTF-8 text as UTF-16 code units; nullopt when it is not UTF-8.
std::optional<std::u16string> wideFromUtf8(std::string_view utf8);

}  // namespace casim

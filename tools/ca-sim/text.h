// The simulated machine speaks ANSI (Windows-1252, as an English Windows
// does); ca-sim's own files and its output are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace casim {

// A Windows-1252 byte string as the installer shows it: always valid UTF-8.
// The five bytes Windows-1252 leaves undefined become U+0081 and the like,
// as MultiByteToWideChar makes them.
std::string utf8FromAnsi(std::string_view ansi);
// UTF-8 text as the machine receives it; nullopt when the text is not UTF-8
// or holds a character that Windows-1252 cannot write.
std::optional<std::string> ansiFromUtf8(std::string_view utf8);
// The UTF-16 code unit of one Windows-1252 byte.
char16_t wideFromAnsi(unsigned char byte);
// UTF-16 text as an ANSI caller reads it: '?' for a character that
// Windows-1252 cannot write, as WideCharToMultiByte's default character.
std::string ansiFromWide(std::u16string_view wide);
// UTF-8 text as UTF-16 code units; nullopt when it is not UTF-8.
std::optional<std::u16string> wideFromUtf8(std::string_view utf8);

}  // namespace casim

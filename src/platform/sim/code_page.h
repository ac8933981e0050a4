// The ANSI code pages of the simulated machine and the conversions between
// its narrow text and Unicode. Narrow strings in the simulator are always in
// the machine's code page, as an ANSI program sees them on Windows; Unicode
// lives only at the edges: .reg text, the host's file names (UTF-8), ca-sim's
// own files and reports.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sim {

// 1252 (Western European: an English, German or French Windows) or 932
// (Japanese, double-byte). The conversions follow MultiByteToWideChar and
// WideCharToMultiByte without flags: every byte string decodes (bytes that
// form no character become the code page's default character), and a
// character that the code page lacks encodes as '?'.
class CodePage {
public:
    static constexpr unsigned kWestern = 1252;
    static constexpr unsigned kJapanese = 932;

    CodePage() = default;  // 1252
    // nullopt for a code page that the simulator does not model.
    static std::optional<CodePage> of(unsigned number);

    unsigned number() const { return number_; }
    // IsDBCSLeadByteEx: the byte and the one after it make one character.
    bool isLeadByte(char byte) const;

    std::u16string toWide(std::string_view ansi) const;
    std::string fromWide(std::u16string_view wide) const;
    // nullopt when a character has no form in the code page.
    std::optional<std::string> fromWideExactly(std::u16string_view wide) const;

    std::string toUtf8(std::string_view ansi) const;
    std::string fromUtf8(std::string_view utf8) const;
    // nullopt when the text is not UTF-8 or holds a character that the code
    // page lacks.
    std::optional<std::string> fromUtf8Exactly(std::string_view utf8) const;

    bool operator==(const CodePage&) const = default;

private:
    explicit CodePage(unsigned number) : number_(number) {}
    unsigned number_ = kWestern;
};

// The code page of the machine that runs; when none does, the one last set
// below (1252 unless set), for registries and text read without a machine.
const CodePage& activeCodePage();
void useCodePageWithoutMachine(const CodePage& codePage);

// UTF-8 and UTF-16. A byte that is not part of UTF-8 decodes as U+FFFD, and
// so does a lone surrogate on the way back.
bool isUtf8(std::string_view text);
std::u16string wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::u16string_view wide);

// Names as Windows compares them (NTFS, the registry): each UTF-16 unit
// upper-cased by the Unicode simple mapping; 'ß' stays, 'ü' matches 'Ü'.
std::u16string upperCase(std::u16string_view wide);

}  // namespace sim

#include "text.h"

namespace casim {
namespace {

const sim::CodePage& current() { return sim::activeCodePage(); }

}  // namespace

void useCodePage(const sim::CodePage& codePage) { sim::useCodePageWithoutMachine(codePage); }

const sim::CodePage& codePage() { return current(); }

std::string utf8FromAnsi(std::string_view ansi) { return current().toUtf8(ansi); }

std::optional<std::string> ansiFromUtf8(std::string_view utf8) { return current().fromUtf8Exactly(utf8); }

std::u16string wideFromAnsi(std::string_view ansi) { return current().toWide(ansi); }

std::string ansiFromWide(std::u16string_view wide) { return current().fromWide(wide); }

std::optional<std::u16string> wideFromUtf8(std::string_view utf8)
{
    if (!sim::isUtf8(utf8)) return std::nullopt;
    return sim::wideFromUtf8(utf8);
}

}  // namespace casim

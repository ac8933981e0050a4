#include "text.h"

namespace casim {
namespace {

sim::CodePage& current()
{
    static sim::CodePage codePage;
    return codePage;
}

}  // namespace

void useCodePage(const sim::CodePage& codePage) { current() = codePage; }

const sim::CodePage& codePage() { return current(); }

std::string utf8FromAnsi(std::string_view ansi) { return current().toUtf8(ansi); }

std::optional<std::string> ansiFromUtf8(std::string_view utf8) { return current().fromUtf8Exactly(utf8); }

std::u16string wideFromAnsi(std::string_view ansi) { return current().toWide(ansi); }

}  // namespace casim

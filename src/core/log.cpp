#include "core/log.h"

#include "core/fixed_string.h"
#include "core/text.h"
#include "platform/errors.h"

#include <cstdio>

namespace ca {
namespace {

constexpr std::size_t kShownLength = 160;

// A character of two bytes is shown whole, so that its second byte never
// reads as a backslash or a letter.
void appendEscaped(std::string& out, std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = charLength(text, i);
        for (const char c : text.substr(i, length)) {
            const auto byte = static_cast<unsigned char>(c);
            // A quotation mark inside a value would let the value end its quotes early.
            if (length == 1 && byte >= 0x20 && byte < 0x7F && c != '"') {
                out += c;
                continue;
            }
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02X", byte);
            out += code;
        }
        i += length;
    }
}

// Where a value is cut: after its last whole character within the limit.
std::size_t cutAt(std::string_view value)
{
    std::size_t cut = 0;
    while (cut < value.size() && cut + charLength(value, cut) <= kShownLength) cut += charLength(value, cut);
    return cut;
}

}  // namespace

std::string shown(std::string_view value)
{
    std::string out = "\"";
    appendEscaped(out, value.substr(0, cutAt(value)));
    out += '"';
    if (value.size() > kShownLength) out += "... (" + std::to_string(value.size()) + " characters)";
    return out;
}

std::string escaped(std::string_view text)
{
    std::string out;
    appendEscaped(out, text);
    return out;
}

std::string errorDescription(platform::Status code)
{
    char number[16];
    // Codes with the top bit set are HRESULTs, which are read in hexadecimal.
    std::snprintf(number, sizeof number, code >= 0x80000000u ? "0x%08X" : "%u", static_cast<unsigned>(code));
    const std::string text = platform::errorText(code);
    return std::string("error ") + number + " (" + (text.empty() ? "no system text" : text) + ")";
}

void logProperties(const Session& session, std::initializer_list<const char*> names)
{
    std::string line;
    for (const char* name : names) {
        FixedString<1040> value;
        session.read(name, value);
        line += (line.empty() ? "" : ", ") + std::string(name) + "=" + shown(value.view());
    }
    session.log(line);
}

std::string registryKeyName(std::string_view below, std::string_view subKey)
{
    std::string name = "HKLM\\" + std::string(below);
    if (!subKey.empty()) name += "\\" + std::string(subKey);
    return escaped(name);
}

std::string registryValueName(std::string_view key, std::string_view value)
{
    return escaped(value) + " of " + registryKeyName(key);
}

}  // namespace ca

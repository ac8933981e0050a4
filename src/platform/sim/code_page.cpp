// Code pages 1252 and 932. Windows-1252 is a table of its own; the
// double-byte characters of 932 come from glibc's iconv ("CP932", Microsoft's
// mapping), read once into tables in both directions.
#include "platform/code_page.h"
#include "platform/sim/code_page.h"
#include "platform/sim/machine_internal.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cstdint>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace sim {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// 0x80..0x9F; the five bytes that Windows-1252 leaves undefined decode to the
// C1 control of the same number, as MultiByteToWideChar makes them.
constexpr char16_t kWesternHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t westernWide(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? kWesternHigh[byte - 0x80] : byte; }

std::optional<char> westernByte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (unsigned i = 0; i < 32; ++i)
        if (kWesternHigh[i] == c) return static_cast<char>(0x80 + i);
    return std::nullopt;
}

bool japaneseLead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Code page 932's own default character, for a pair that is no character.
constexpr char16_t kJapaneseDefault = 0x30FB;

// The single bytes that are not ASCII: half-width katakana, and the few that
// Windows maps to themselves or to the private use area.
char16_t japaneseSingle(unsigned char byte)
{
    if (byte < 0x80) return byte;
    if (byte >= 0xA1 && byte <= 0xDF) return static_cast<char16_t>(0xFF61 + (byte - 0xA1));
    if (byte == 0xA0) return 0xF8F0;
    if (byte >= 0xFD) return static_cast<char16_t>(0xF8F1 + (byte - 0xFD));
    return byte;  // 0x80
}

struct JapaneseTables {
    std::vector<char16_t> pairs = std::vector<char16_t>(0x10000, 0);  // (lead << 8 | trail) -> character, 0: none
    std::unordered_map<char16_t, std::uint16_t> codes;                // character -> its two bytes
};

std::optional<char16_t> iconvPair(iconv_t cd, unsigned char lead, unsigned char trail)
{
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    char out[8] = {};
    char* ip = in;
    char* op = out;
    std::size_t il = 2, ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0 || sizeof out - ol != 2)
        return std::nullopt;
    return static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
}

std::optional<std::uint16_t> iconvCode(iconv_t cd, char16_t c)
{
    char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    char out[8] = {};
    char* ip = in;
    char* op = out;
    std::size_t il = 2, ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || sizeof out - ol != 2) return std::nullopt;
    return static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]));
}

JapaneseTables readJapaneseTables()
{
    JapaneseTables t;
    const iconv_t decode = iconv_open("UTF-16LE", "CP932");
    const iconv_t encode = iconv_open("CP932", "UTF-16LE");
    if (decode == reinterpret_cast<iconv_t>(-1) || encode == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("glibc's iconv lacks CP932");
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!japaneseLead(static_cast<unsigned char>(lead))) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            const auto c = iconvPair(decode, static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            if (!c) continue;
            t.pairs[lead << 8 | trail] = *c;
            // Where several pairs make one character, Windows writes it one way.
            if (t.codes.count(*c) != 0) continue;
            const auto code = iconvCode(encode, *c);
            if (code && japaneseLead(static_cast<unsigned char>(*code >> 8))) t.codes[*c] = *code;
        }
    }
    iconv_close(decode);
    iconv_close(encode);
    return t;
}

const JapaneseTables& japaneseTables()
{
    static const JapaneseTables tables = readJapaneseTables();
    return tables;
}

std::optional<std::string> japaneseBytes(char16_t c)
{
    if (c <= 0x80) return std::string(1, static_cast<char>(c));
    if (c >= 0xFF61 && c <= 0xFF9F) return std::string(1, static_cast<char>(0xA1 + (c - 0xFF61)));
    if (c == 0xF8F0) return std::string(1, '\xA0');
    if (c >= 0xF8F1 && c <= 0xF8F3) return std::string(1, static_cast<char>(0xFD + (c - 0xF8F1)));
    const auto& codes = japaneseTables().codes;
    const auto it = codes.find(c);
    if (it == codes.end()) return std::nullopt;
    return std::string{static_cast<char>(it->second >> 8), static_cast<char>(it->second & 0xFF)};
}

CodePage codePageWithoutMachine;

}  // namespace

std::optional<CodePage> CodePage::of(unsigned number)
{
    if (number == kWestern || number == kJapanese) return CodePage(number);
    return std::nullopt;
}

bool CodePage::isLeadByte(char byte) const
{
    return number_ == kJapanese && japaneseLead(static_cast<unsigned char>(byte));
}

std::u16string CodePage::toWide(std::string_view ansi) const
{
    std::u16string out;
    out.reserve(ansi.size());
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        const auto byte = static_cast<unsigned char>(ansi[i]);
        if (number_ == kWestern) {
            out += westernWide(byte);
        } else if (!japaneseLead(byte)) {
            out += japaneseSingle(byte);
        } else if (i + 1 < ansi.size()) {
            const char16_t c = japaneseTables().pairs[byte << 8 | static_cast<unsigned char>(ansi[++i])];
            out += c != 0 ? c : kJapaneseDefault;
        } else {
            out += kJapaneseDefault;  // a lead byte that ends the text
        }
    }
    return out;
}

std::optional<std::string> CodePage::fromWideExactly(std::u16string_view wide) const
{
    std::string out;
    out.reserve(wide.size());
    for (const char16_t c : wide) {
        if (number_ == kWestern) {
            const auto byte = westernByte(c);
            if (!byte) return std::nullopt;
            out += *byte;
        } else {
            const auto bytes = japaneseBytes(c);
            if (!bytes) return std::nullopt;
            out += *bytes;
        }
    }
    return out;
}

std::string CodePage::fromWide(std::u16string_view wide) const
{
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t c = wide[i];
        // A character beyond the first plane (a surrogate pair) is one '?'.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) ++i;
        out += fromWideExactly(std::u16string_view(&c, 1)).value_or("?");
    }
    return out;
}

std::string CodePage::toUtf8(std::string_view ansi) const { return utf8FromWide(toWide(ansi)); }

std::string CodePage::fromUtf8(std::string_view utf8) const { return fromWide(wideFromUtf8(utf8)); }

std::optional<std::string> CodePage::fromUtf8Exactly(std::string_view utf8) const
{
    if (!isUtf8(utf8)) return std::nullopt;
    return fromWideExactly(wideFromUtf8(utf8));
}

const CodePage& activeCodePage()
{
    const Machine* m = Machine::Internal::live();
    return m != nullptr ? m->codePage() : codePageWithoutMachine;
}

void useCodePageWithoutMachine(const CodePage& codePage) { codePageWithoutMachine = codePage; }

namespace {

// The length of the UTF-8 sequence at text[i], with its code point; 0 when
// no well-formed sequence starts there.
std::size_t utf8Sequence(std::string_view text, std::size_t i, char32_t& cp)
{
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > text.size()) return 0;
    cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

bool isUtf8(std::string_view text)
{
    char32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = utf8Sequence(text, i, cp);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::u16string wideFromUtf8(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const std::size_t len = utf8Sequence(utf8, i, cp);
        if (len == 0) {
            out += kReplacement;
            ++i;
        } else if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len == 0 ? 1 : len;
    }
    return out;
}

std::string utf8FromWide(std::u16string_view wide)
{
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t u = wide[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
            ++i;
        } else {
            appendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? kReplacement : u);
        }
    }
    return out;
}

std::u16string upperCase(std::u16string_view wide)
{
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    std::u16string out(wide);
    for (char16_t& c : out) {
        if (c < 0x80) {
            if (c >= 'a' && c <= 'z') c = static_cast<char16_t>(c - 'a' + 'A');
        } else if ((c < 0xD800 || c > 0xDFFF) && unicode != static_cast<locale_t>(nullptr)) {
            const wint_t upper = towupper_l(c, unicode);
            if (upper < 0x10000) c = static_cast<char16_t>(upper);
        }
    }
    return out;
}

}  // namespace sim

namespace platform {

bool isLeadByte(char byte) { return sim::activeCodePage().isLeadByte(byte); }

}  // namespace platform

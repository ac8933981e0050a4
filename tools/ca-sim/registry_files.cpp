#include "registry_files.h"

#include "text.h"

#include <fstream>
#include <iterator>

namespace casim {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kWineHeader = "WINE REGISTRY Version 2";

std::string readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) throw sim::RegParseError(file.string(), 0, "cannot be read");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// One hive line at a time. Wine writes strings as UTF-16 text with C-style
// escapes (\a \b \t \n \v \f \r \e, octal \0 to \377, \xHHHH, and \\ \" \[ \]),
// and hex data over lines that start with two blanks after a backslash.
class HiveReader {
public:
    HiveReader(const std::string& fileName, sim::Registry& registry) : file_(fileName), registry_(registry) {}

    void line(const std::u16string& text, int number)
    {
        number_ = number;
        if (text.empty() || text[0] == u';' || text[0] == u'#') return;
        std::size_t pos = 1;
        if (text[0] == u'[') {
            key_ = ansiFromWide(unescape(text, pos, u']'));
            registry_.createKey(key_);
            return;
        }
        if (key_.empty()) fail("a value outside a key");
        std::string name;
        if (text.compare(0, 2, u"@=") == 0) {
            pos = 2;
        } else if (text[0] == u'"') {
            name = ansiFromWide(unescape(text, pos, u'"'));
            if (pos >= text.size() || text[pos++] != u'=') fail("expected '=' after the value name");
        } else {
            fail("unrecognised line");
        }
        registry_.setValue(key_, name, data(text.substr(pos)));
    }

private:
    [[noreturn]] void fail(const std::string& why) const { throw sim::RegParseError(file_, number_, why); }

    // From text[pos] up to the unescaped `stop`; pos ends after it.
    std::u16string unescape(const std::u16string& text, std::size_t& pos, char16_t stop) const
    {
        static const std::u16string kFrom = u"abtnvfre", kTo = u"\a\b\t\n\v\f\r\x1b";
        std::u16string out;
        while (pos < text.size()) {
            const char16_t c = text[pos++];
            if (c == stop) return out;
            if (c != u'\\' || pos >= text.size()) {
                out += c;
                continue;
            }
            const char16_t e = text[pos++];
            const int radix = e >= u'0' && e <= u'7' ? 8 : e == u'x' ? 16 : 0;
            if (radix == 0) {
                const auto k = kFrom.find(e);
                out += k == std::u16string::npos ? e : kTo[k];
                continue;
            }
            // Up to three octal digits, the first one read already; up to four hex digits.
            unsigned value = radix == 8 ? static_cast<unsigned>(e - u'0') : 0;
            std::size_t digits = radix == 8 ? 1 : 0;
            const std::size_t most = radix == 8 ? 3 : 4;
            for (; pos < text.size() && digits < most && hexDigit(text[pos]) >= 0 && hexDigit(text[pos]) < radix; ++digits)
                value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(hexDigit(text[pos++]));
            out += digits == 0 ? u'x' : static_cast<char16_t>(value);
        }
        fail("unterminated string");
    }

    sim::RegValue data(const std::u16string& text) const
    {
        sim::RegValue v;
        std::u16string rest = text;
        if (rest.compare(0, 4, u"str(") == 0) {
            const auto close = rest.find(u"):");
            if (close == std::u16string::npos) fail("bad string type");
            v.type = number(rest.substr(4, close - 4), 16);
            rest = rest.substr(close + 2);
        }
        if (!rest.empty() && rest[0] == u'"') {
            std::size_t pos = 1;
            const std::string s = ansiFromWide(unescape(rest, pos, u'"'));
            v.data.assign(s.begin(), s.end());
            v.data.push_back(0);
            return v;
        }
        if (rest.compare(0, 6, u"dword:") == 0) {
            const std::uint32_t d = number(rest.substr(6), 16);
            v.type = 4;
            for (int k = 0; k < 4; ++k) v.data.push_back(static_cast<std::uint8_t>(d >> (8 * k)));
            return v;
        }
        return hex(rest);
    }

    sim::RegValue hex(const std::u16string& text) const
    {
        const auto colon = text.find(u':');
        if (text.compare(0, 3, u"hex") != 0 || colon == std::u16string::npos) fail("unknown value data");
        sim::RegValue v;
        v.type = colon == 3 ? 3 : number(text.substr(4, colon - 5), 16);
        std::u16string bytes;
        for (std::size_t i = colon + 1; i < text.size(); ++i)
            if (hexDigit(text[i]) >= 0) bytes += text[i];
        if (bytes.size() % 2 != 0) fail("bad hex data");
        for (std::size_t i = 0; i < bytes.size(); i += 2)
            v.data.push_back(static_cast<std::uint8_t>(hexDigit(bytes[i]) * 16 + hexDigit(bytes[i + 1])));
        // String data is UTF-16: as an ANSI caller reads it.
        if ((v.type == 1 || v.type == 2 || v.type == 7) && v.data.size() % 2 == 0) {
            std::u16string wide;
            for (std::size_t i = 0; i < v.data.size(); i += 2)
                wide += static_cast<char16_t>(v.data[i] | v.data[i + 1] << 8);
            const std::string s = ansiFromWide(wide);
            v.data.assign(s.begin(), s.end());
        }
        return v;
    }

    std::uint32_t number(const std::u16string& digits, int radix) const
    {
        if (digits.empty() || digits.size() > 8) fail("bad number");
        std::uint32_t n = 0;
        for (char16_t c : digits) {
            if (hexDigit(c) < 0 || hexDigit(c) >= radix) fail("bad number");
            n = n * static_cast<std::uint32_t>(radix) + static_cast<std::uint32_t>(hexDigit(c));
        }
        return n;
    }

    std::string file_;
    sim::Registry& registry_;
    std::string key_;
    int number_ = 0;
};

}  // namespace

void importWineHive(std::string_view text, const std::string& fileName, sim::Registry& registry)
{
    const auto wide = wideFromUtf8(text);
    if (!wide) throw sim::RegParseError(fileName, 0, "not UTF-8 text");
    if (wide->compare(0, kWineHeader.size(), std::u16string(kWineHeader.begin(), kWineHeader.end())) != 0)
        throw sim::RegParseError(fileName, 1, "not a Wine hive file");
    HiveReader reader(fileName, registry);
    std::u16string logical;
    int logicalLine = 0, number = 0;
    for (std::size_t start = 0; start < wide->size();) {
        auto end = wide->find(u'\n', start);
        if (end == std::u16string::npos) end = wide->size();
        std::u16string line = wide->substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        if (++number == 1) continue;
        if (line.compare(0, 2, u"  ") == 0 && !logical.empty() && logical.back() == u'\\') {
            logical.pop_back();
            logical += line.substr(line.find_first_not_of(u' '));
            continue;
        }
        if (logicalLine > 0) reader.line(logical, logicalLine);
        logical = line;
        logicalLine = number;
    }
    if (logicalLine > 0) reader.line(logical, logicalLine);
}

void readRegistryFile(const fs::path& file, sim::Registry& registry)
{
    const std::string bytes = readBytes(file);
    if (std::string_view(bytes).substr(0, kWineHeader.size()) == kWineHeader)
        importWineHive(bytes, file.string(), registry);
    else
        registry.importText(bytes, file.string());
}

std::string forWineRegedit(const fs::path& file)
{
    const std::string bytes = readBytes(file);
    sim::Registry check;
    check.importText(bytes, file.string());
    std::string_view text = bytes;
    if (text.substr(0, 2) == "\xFF\xFE") return bytes;  // UTF-16LE already
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (text.find_first_not_of(" \t\r\n") != std::string_view::npos &&
        text.substr(text.find_first_not_of(" \t\r\n"), 8) == "REGEDIT4")
        return bytes;
    const auto wide = wideFromUtf8(text);
    if (!wide) throw sim::RegParseError(file.string(), 0, "not UTF-8 text");
    std::string out = "\xFF\xFE";
    for (std::size_t i = 0; i < wide->size(); ++i) {
        // Wine's regedit wants CR LF line ends.
        if ((*wide)[i] == u'\n' && (i == 0 || (*wide)[i - 1] != u'\r')) out += std::string("\r\0", 2);
        out += static_cast<char>((*wide)[i] & 0xFF);
        out += static_cast<char>((*wide)[i] >> 8);
    }
    return out;
}

}  // namespace casim

// The regedit text format, so that one .reg file describes a machine for both
// the simulator and Wine. Import is all or nothing: a scratch copy of the tree
// takes the changes and replaces the real one only when the whole file parsed.
#include "platform/sim/machine_internal.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace sim {

RegParseError::RegParseError(std::string file_, int line_, std::string reason_)
    : std::runtime_error(file_ + (line_ > 0 ? ":" + std::to_string(line_) : std::string()) + ": " + reason_),
      file(std::move(file_)),
      line(line_),
      reason(std::move(reason_))
{
}

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

// --- text -------------------------------------------------------------------
// A .reg file is Unicode text (UTF-16 with its mark, or UTF-8); REGEDIT4
// files, and version 5 files that are not UTF-8, are in the machine's code
// page, as regedit reads them. The file is parsed in Unicode, so that a trail
// byte with the code of a backslash escapes nothing, and every name and
// string is kept in the code page, as an ANSI caller reads it.

std::string_view firstLine(std::string_view bytes)
{
    const std::size_t start = bytes.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return {};
    const std::size_t end = bytes.find_first_of("\r\n", start);
    return bytes.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::string utf8Text(std::string_view bytes, const CodePage& codePage)
{
    bool marked = false;
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        marked = true;
    }
    const bool regedit4 = firstLine(bytes) == "REGEDIT4";
    if ((marked || !regedit4) && isUtf8(bytes)) return std::string(bytes);
    return codePage.toUtf8(bytes);
}

std::u16string wideFromBytes(std::string_view bytes)  // UTF-16LE of an even length
{
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return out;
}

std::vector<std::uint8_t> bytesFromWide(std::u16string_view wide)  // UTF-16LE
{
    std::vector<std::uint8_t> out;
    for (const char16_t u : wide) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

bool isStringType(std::uint32_t type) { return type == 1 || type == 2 || type == 7; }

// --- parsing ----------------------------------------------------------------

struct Parser {
    std::string file;
    Registry& tree;
    const CodePage& codePage;
    std::vector<std::string> lines;  // UTF-8
    bool unicode = true;  // version 5.00: string data in hex form is UTF-16LE

    std::string narrow(std::string_view utf8) const { return codePage.fromUtf8(utf8); }

    [[noreturn]] void fail(int line, std::string reason) const { throw RegParseError(file, line, std::move(reason)); }

    static std::string_view trim(std::string_view s)
    {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
        return s;
    }

    static int hexDigit(char c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    static bool startsNoCase(std::string_view s, std::string_view prefix)
    {
        return s.size() >= prefix.size() && equalNoCase(s.substr(0, prefix.size()), prefix);
    }

    // A quoted string starting at s[pos] == '"'; pos ends after the closing quote.
    std::string quoted(std::string_view s, std::size_t& pos, int line) const
    {
        std::string out;
        for (++pos; pos < s.size(); ++pos) {
            const char c = s[pos];
            if (c == '"') {
                ++pos;
                return out;
            }
            if (c == '\\') {
                if (pos + 1 >= s.size()) break;
                const char e = s[++pos];
                if (e != '\\' && e != '"') fail(line, std::string("bad escape \\") + e);
                out += e;
            } else {
                out += c;
            }
        }
        fail(line, "unterminated quote");
    }

    void decode(std::string_view bytes)
    {
        std::string text;
        if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
            static_cast<unsigned char>(bytes[1]) == 0xFF)
            fail(1, "UTF-16 big-endian is not supported");
        if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
            static_cast<unsigned char>(bytes[1]) == 0xFE) {
            bytes.remove_prefix(2);
            text = utf8FromWide(wideFromBytes(bytes.substr(0, bytes.size() & ~std::size_t{1})));
            if (bytes.size() % 2 != 0) {
                const auto newlines = std::count(text.begin(), text.end(), '\n');
                fail(static_cast<int>(newlines) + 1, "odd UTF-16 length");
            }
        } else {
            text = utf8Text(bytes, codePage);
        }
        std::size_t i = 0;
        while (i <= text.size()) {
            std::size_t j = text.find('\n', i);
            if (j == std::string::npos) j = text.size();
            std::string line = text.substr(i, j - i);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            i = j + 1;
        }
    }

    // Bytes of a hex value whose list starts at lines[index] after `start`;
    // backslash continuations advance index.
    std::vector<std::uint8_t> hexBytes(std::string_view first, std::size_t& index)
    {
        std::vector<std::uint8_t> out;
        std::string_view segment = first;
        for (;;) {
            const int line = static_cast<int>(index) + 1;
            segment = trim(segment);
            bool more = !segment.empty() && segment.back() == '\\';
            if (more) segment.remove_suffix(1);
            std::size_t i = 0;
            while (i <= segment.size()) {
                std::size_t j = segment.find(',', i);
                const bool last = j == std::string_view::npos;
                if (last) j = segment.size();
                const std::string_view token = trim(segment.substr(i, j - i));
                if (token.empty()) {
                    // Only a trailing comma (or an empty list) leaves nothing between commas.
                    if (!last) fail(line, "bad hex byte ''");
                } else {
                    if (token.size() > 2 || hexDigit(token[0]) < 0 || (token.size() == 2 && hexDigit(token[1]) < 0))
                        fail(line, "bad hex byte '" + std::string(token) + "'");
                    int v = hexDigit(token[0]);
                    if (token.size() == 2) v = v * 16 + hexDigit(token[1]);
                    out.push_back(static_cast<std::uint8_t>(v));
                }
                i = j + 1;
            }
            if (!more) return out;
            if (index + 1 >= lines.size()) fail(line, "hex data continues past the end of the file");
            segment = lines[++index];
        }
    }

    void value(std::string_view text, std::size_t& index, const std::optional<std::string>& key)
    {
        const int line = static_cast<int>(index) + 1;
        std::string name;
        std::size_t pos = 0;
        if (text[0] == '@') {
            pos = 1;
        } else {
            name = narrow(quoted(text, pos, line));
        }
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        if (pos >= text.size() || text[pos] != '=') fail(line, "expected '=' after the value name");
        ++pos;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        const std::string_view data = text.substr(pos);

        std::optional<RegValue> v;  // nullopt: delete the value
        if (trim(data) == "-") {
        } else if (!data.empty() && data[0] == '"') {
            std::size_t p = 0;
            const std::string s = narrow(quoted(data, p, line));
            if (!trim(data.substr(p)).empty()) fail(line, "text after the closing quote");
            v.emplace();
            v->type = 1;
            v->data.assign(s.begin(), s.end());
            v->data.push_back(0);
        } else if (startsNoCase(data, "dword:")) {
            const std::string_view digits = trim(data.substr(6));
            if (digits.size() != 8 || std::any_of(digits.begin(), digits.end(), [](char c) { return hexDigit(c) < 0; }))
                fail(line, "dword needs 8 hex digits");
            std::uint32_t d = 0;
            for (char c : digits) d = d * 16 + static_cast<std::uint32_t>(hexDigit(c));
            v.emplace();
            v->type = 4;
            for (int k = 0; k < 4; ++k) v->data.push_back(static_cast<std::uint8_t>(d >> (8 * k)));
        } else if (startsNoCase(data, "hex")) {
            std::size_t p = 3;
            std::uint32_t type = 3;
            if (p < data.size() && data[p] == '(') {
                const std::size_t close = data.find(')', p);
                const std::string_view digits = close == std::string_view::npos ? "" : data.substr(p + 1, close - p - 1);
                if (digits.empty() || digits.size() > 8 ||
                    std::any_of(digits.begin(), digits.end(), [](char c) { return hexDigit(c) < 0; }))
                    fail(line, "bad hex type");
                type = 0;
                for (char c : digits) type = type * 16 + static_cast<std::uint32_t>(hexDigit(c));
                p = close + 1;
            }
            if (p >= data.size() || data[p] != ':') fail(line, "unknown value type");
            v.emplace();
            v->type = type;
            v->data = hexBytes(data.substr(p + 1), index);
            if (unicode && isStringType(type)) {
                if (v->data.size() % 2 != 0) fail(static_cast<int>(index) + 1, "odd UTF-16 length");
                const std::string ansi = codePage.fromWide(
                    wideFromBytes(std::string_view(reinterpret_cast<const char*>(v->data.data()), v->data.size())));
                v->data.assign(ansi.begin(), ansi.end());
            }
        } else {
            fail(line, "unknown value type");
        }

        if (!key) return;  // the values of a deleted key are ignored, as regedit does
        if (v)
            tree.setValue(*key, name, std::move(*v));
        else
            tree.deleteValue(*key, name);
    }

    void section(std::string_view text, int line, std::optional<std::string>& key)
    {
        if (text.back() != ']') fail(line, "unterminated section bracket");
        std::string_view inner = text.substr(1, text.size() - 2);
        const bool remove = !inner.empty() && inner[0] == '-';
        if (remove) inner.remove_prefix(1);
        const std::size_t sep = inner.find('\\');
        const std::string_view root = inner.substr(0, sep);
        if (!equalNoCase(root, "HKEY_LOCAL_MACHINE") && !equalNoCase(root, "HKLM"))
            fail(line, "only HKEY_LOCAL_MACHINE is simulated");
        const std::string path = narrow(sep == std::string_view::npos ? std::string_view() : inner.substr(sep + 1));
        if (remove) {
            if (path.find_first_not_of('\\') == std::string::npos) fail(line, "HKEY_LOCAL_MACHINE cannot be deleted");
            tree.deleteKey(path);
            key.reset();
        } else {
            tree.createKey(path);
            key = path;
        }
    }

    void run(std::string_view bytes)
    {
        decode(bytes);
        std::size_t index = 0;
        while (index < lines.size() && trim(lines[index]).empty()) ++index;
        if (index == lines.size()) fail(1, "missing header");
        const std::string_view header = trim(lines[index]);
        if (header == kHeader5)
            unicode = true;
        else if (header == kHeader4)
            unicode = false;
        else
            fail(static_cast<int>(index) + 1, "unknown header");

        bool inSection = false;
        std::optional<std::string> key;
        for (++index; index < lines.size(); ++index) {
            const int line = static_cast<int>(index) + 1;
            const std::string_view text = trim(lines[index]);
            if (text.empty() || text[0] == ';') continue;
            if (text[0] == '[') {
                section(text, line, key);
                inSection = true;
            } else if (text[0] == '"' || text[0] == '@') {
                if (!inSection) fail(line, "value outside a key section");
                value(text, index, key);
            } else {
                fail(line, "unrecognised line");
            }
        }
    }
};

// --- export -----------------------------------------------------------------

std::string quote(std::string_view s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

bool fitsStringForm(const RegValue& v)
{
    if (v.type != 1 || v.data.empty() || v.data.back() != 0) return false;
    for (std::size_t i = 0; i + 1 < v.data.size(); ++i)
        if (v.data[i] == 0 || v.data[i] == '\r' || v.data[i] == '\n') return false;
    return true;
}

void exportValue(std::string& out, const std::string& name, const RegValue& v, const CodePage& codePage)
{
    const std::string_view data(reinterpret_cast<const char*>(v.data.data()), v.data.size());
    std::string line = name.empty() ? "@" : quote(codePage.toUtf8(name));
    line += '=';
    if (fitsStringForm(v)) {
        line += quote(codePage.toUtf8(data.substr(0, data.size() - 1)));
        out += line + "\r\n";
        return;
    }
    char buf[32];
    if (v.type == 4 && v.data.size() == 4) {
        const std::uint32_t d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (std::uint32_t(v.data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x", d);
        out += line + buf + "\r\n";
        return;
    }
    if (v.type == 3) {
        line += "hex:";
    } else {
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        line += buf;
    }
    const std::vector<std::uint8_t> bytes = isStringType(v.type) ? bytesFromWide(codePage.toWide(data)) : v.data;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        line += buf;
        if (i + 1 < bytes.size()) {
            line += ',';
            if (line.size() > 76) {  // regedit's wrapping keeps lines short
                out += line + "\\\r\n";
                line = "  ";
            }
        }
    }
    out += line + "\r\n";
}

// `path` is UTF-8 text; the key's names are in the code page.
void exportKey(std::string& out, const Registry::Key& key, const std::string& path, bool isRoot,
               const CodePage& codePage)
{
    if (!isRoot || !key.values.empty()) {
        out += "\r\n[" + path + "]\r\n";
        for (const auto& [name, entry] : key.values) exportValue(out, entry.first, entry.second, codePage);
    }
    for (const auto& [name, sub] : key.subkeys)
        exportKey(out, sub, path + "\\" + codePage.toUtf8(sub.name), false, codePage);
}

}  // namespace

void Registry::importText(std::string_view bytes, const std::string& fileName)
{
    Registry scratch = *this;
    Parser parser{fileName, scratch, activeCodePage(), {}};
    parser.run(bytes);
    root_ = std::move(scratch.root_);
}

void Registry::importFile(const std::filesystem::path& file)
{
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) throw RegParseError(file.string(), 0, "is a folder, not a file");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw RegParseError(file.string(), 0, "cannot read the file");
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw RegParseError(file.string(), 0, "cannot read the file");
    importText(bytes, file.string());
}

std::string Registry::exportText() const
{
    std::string out(kHeader5);
    out += "\r\n";
    exportKey(out, root_, "HKEY_LOCAL_MACHINE", true, activeCodePage());
    out += "\r\n";
    return out;
}

}  // namespace sim

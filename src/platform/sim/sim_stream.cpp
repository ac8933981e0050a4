// msvcrt text-mode streams over host files. The host file is read and written
// through stdio as it goes, so memory use does not grow with the file.
#include "platform/files.h"
#include "platform/sim/sim_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace pf {

namespace {
using sim::Machine;
using sim::Op;

constexpr int kCtrlZ = 0x1A;

// The first '\n', '\r' or Ctrl-Z in [p, stop): eight bytes at a time until
// a word holds one, then byte by byte.
const char* findSpecial(const char* p, const char* stop)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    const auto hasZeroByte = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
    while (stop - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if ((hasZeroByte(word ^ (kOnes * '\n')) | hasZeroByte(word ^ (kOnes * '\r')) |
             hasZeroByte(word ^ (kOnes * kCtrlZ))) != 0)
            break;
        p += 8;
    }
    while (p < stop && *p != '\n' && *p != '\r' && *p != kCtrlZ) ++p;
    return p;
}

const char* findNewline(const char* p, const char* stop)
{
    const void* newline = std::memchr(p, '\n', static_cast<std::size_t>(stop - p));
    return newline != nullptr ? static_cast<const char*>(newline) : stop;
}

struct Stream {
    std::FILE* file = nullptr;
    std::uint64_t machine = 0;  // serial of the machine that counts it
    bool text = true;
    bool canRead = false;
    bool canWrite = false;
    bool error = false;
    bool atCtrlZ = false;  // msvcrt stops reading a text stream at Ctrl-Z
    enum class Last { none, read, write } last = Last::none;

    // Reading goes through a block of the file at a time, scanned in bulk:
    // a character at a time through stdio made large files slow to edit.
    static constexpr std::size_t kBlock = 64 * 1024;
    std::unique_ptr<char[]> block;
    std::size_t next = 0;  // first unread byte of the block
    std::size_t end = 0;

    // C streams need a positioning call between reading and writing; the
    // file's position goes back to the first byte not read yet.
    void switchTo(Last to)
    {
        if (last == Last::read && to != Last::read) {
            std::fseek(file, -static_cast<long>(end - next), SEEK_CUR);
            next = end = 0;
        } else if (last != Last::none && last != to) {
            std::fseek(file, 0, SEEK_CUR);
        }
        last = to;
    }

    // False at the end of the file or on a read error.
    bool fill()
    {
        if (next < end) return true;
        if (!block) block = std::make_unique<char[]>(kBlock);
        next = 0;
        end = fread_unlocked(block.get(), 1, kBlock, file);
        return end > 0;
    }

    // Up to `room` characters after text-mode translation, up to and
    // including '\n'; the count.
    int getLine(char* out, int room)
    {
        int n = 0;
        while (n < room && !atCtrlZ && fill()) {
            const char* p = block.get() + next;
            const char* stop = p + std::min<std::size_t>(end - next, static_cast<std::size_t>(room - n));
            const char* q = text ? findSpecial(p, stop) : findNewline(p, stop);
            std::memcpy(out + n, p, static_cast<std::size_t>(q - p));
            n += static_cast<int>(q - p);
            next += static_cast<std::size_t>(q - p);
            if (q == stop) continue;
            // A newline, a carriage return or Ctrl-Z, with room for one character.
            const char c = *q;
            if (c == kCtrlZ) {
                atCtrlZ = true;  // stays unread
                break;
            }
            ++next;
            if (c == '\r' && fill() && block[next] == '\n') {
                ++next;
                out[n++] = '\n';
                break;
            }
            out[n++] = c;
            if (c == '\n') break;
        }
        return n;
    }
};

Stream* asStream(void* native) { return static_cast<Stream*>(native); }

void countStream(std::uint64_t serial, int delta)
{
    Machine* m = Machine::Internal::live();
    if (m != nullptr && m->internal().serial == serial) m->internal().streams += delta;
}

// "a+" in text mode drops a Ctrl-Z that ends the file, so appended text is readable.
void dropTrailingCtrlZ(const fs::path& p)
{
    std::error_code ec;
    const auto size = fs::file_size(p, ec);
    if (ec || size == 0) return;
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (f == nullptr) return;
    int last = EOF;
    if (std::fseek(f, -1, SEEK_END) == 0) last = std::fgetc(f);
    std::fclose(f);
    if (last == kCtrlZ) fs::resize_file(p, size - 1, ec);
}
}  // namespace

TextStream TextStream::open(const char* path, const char* mode)
{
    Machine& m = Machine::current();
    if (m.faults().shouldFail(Op::fileOpen)) return {};
    if (path == nullptr || mode == nullptr || *path == '\0') return {};
    const char kind = mode[0];
    if (kind != 'r' && kind != 'w' && kind != 'a') return {};
    bool plus = false;
    bool binary = false;
    for (const char* c = mode + 1; *c != '\0'; ++c) {
        if (*c == '+')
            plus = true;
        else if (*c == 'b')
            binary = true;
        else if (*c != 't')
            return {};
    }
    const auto p = m.hostPath(path);
    if (!p) return {};
    std::error_code ec;
    if (fs::is_directory(fs::status(*p, ec))) return {};
    if (!fs::is_directory(fs::status(p->parent_path(), ec))) return {};
    if (kind == 'a' && plus && !binary) dropTrailingCtrlZ(*p);

    std::string hostMode(1, kind);
    hostMode += 'b';
    if (plus) hostMode += '+';
    std::FILE* f = std::fopen(p->c_str(), hostMode.c_str());
    if (f == nullptr) return {};
    // Writes line by line reach the host in large blocks, not a system call per 4 KB.
    std::setvbuf(f, nullptr, _IOFBF, Stream::kBlock);

    auto* s = new Stream;
    s->file = f;
    s->machine = m.internal().serial;
    s->text = !binary;
    s->canRead = kind == 'r' || plus;
    s->canWrite = kind != 'r' || plus;
    m.internal().streams += 1;
    TextStream t;
    t.native_ = s;
    return t;
}

bool TextStream::getLine(char* buffer, int capacity)
{
    Stream* s = asStream(native_);
    if (s == nullptr || buffer == nullptr || capacity <= 0) return false;
    if (Machine* m = Machine::Internal::live(); m != nullptr && m->faults().shouldFail(Op::fileRead)) {
        s->error = true;
        return false;
    }
    if (!s->canRead) {
        s->error = true;
        return false;
    }
    s->switchTo(Stream::Last::read);
    const int n = s->getLine(buffer, capacity - 1);
    if (ferror_unlocked(s->file) != 0) s->error = true;
    buffer[n] = '\0';
    return n > 0 || (capacity == 1 && !s->error);
}

bool TextStream::putText(const char* text)
{
    return text != nullptr && putBytes(text, std::char_traits<char>::length(text));
}

bool TextStream::putBytes(const char* data, std::size_t size)
{
    Stream* s = asStream(native_);
    if (s == nullptr || data == nullptr) return false;
    if (Machine* m = Machine::Internal::live(); m != nullptr && m->faults().shouldFail(Op::fileWrite)) {
        s->error = true;
        return false;
    }
    if (!s->canWrite) {
        s->error = true;
        return false;
    }
    s->switchTo(Stream::Last::write);
    s->atCtrlZ = false;
    const char* const end = data + size;
    for (const char* p = data; p != end;) {
        const auto* newline = s->text ? static_cast<const char*>(std::memchr(p, '\n', end - p)) : nullptr;
        const char* stop = newline != nullptr ? newline : end;
        const auto length = static_cast<std::size_t>(stop - p);
        if (fwrite_unlocked(p, 1, length, s->file) != length) break;
        p = stop;
        if (newline == nullptr) break;
        if (fwrite_unlocked("\r\n", 1, 2, s->file) != 2) break;
        ++p;
    }
    if (ferror_unlocked(s->file) != 0) {
        s->error = true;
        return false;
    }
    return true;
}

bool TextStream::hadError() const
{
    const Stream* s = asStream(native_);
    return s != nullptr && s->error;
}

bool TextStream::close() noexcept
{
    Stream* s = asStream(native_);
    if (s == nullptr) return true;
    native_ = nullptr;
    bool failed = false;
    if (Machine* m = Machine::Internal::live(); m != nullptr && m->internal().serial == s->machine)
        failed = m->faults().shouldFail(Op::fileClose);
    failed = std::fclose(s->file) != 0 || failed;
    countStream(s->machine, -1);
    delete s;
    return !failed;
}

}  // namespace pf

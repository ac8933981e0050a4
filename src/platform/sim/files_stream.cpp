// msvcrt text-mode streams over host files. The host file is read and written
// through stdio as it goes, so memory use does not grow with the file.
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/sim/machine_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fs = std::filesystem;

namespace platform {

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

// Copies [p, stop) to `out` up to the first byte equal to `a` or `b` and
// returns where that byte is, or `stop`; `out` moves past what was copied and
// must have room for stop - p bytes. Text-mode translation goes through here,
// so it works on whole vectors: line by line, it made editing large files slow.
const char* copyUntil(const char* p, const char* stop, char*& out, char a, char b)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    while (stop - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)));
        // The whole vector is stored; `out` only moves past the bytes before the match.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
        if (mask != 0) {
            const int at = __builtin_ctz(static_cast<unsigned>(mask));
            out += at;
            return p + at;
        }
        out += 16;
        p += 16;
    }
#endif
    while (p < stop && *p != a && *p != b) *out++ = *p++;
    return p;
}

// Copies [p, stop) to `out` as text-mode reading translates it, CR LF as
// '\n', up to a Ctrl-Z or a CR that ends the range and so needs the next
// block; returns where it stopped.
const char* translateCrLf(const char* p, const char* stop, char*& out)
{
    for (;;) {
        const char* q = copyUntil(p, stop, out, '\r', static_cast<char>(kCtrlZ));
        if (q == stop || *q == kCtrlZ || q + 1 == stop) return q;
        *out++ = q[1] == '\n' ? '\n' : '\r';
        p = q[1] == '\n' ? q + 2 : q + 1;
    }
}

struct Stream {
    std::FILE* file = nullptr;
    std::uint64_t machine = 0;  // serial of the machine that counts it
    std::string path;           // as opened, for the failures it reports
    bool text = true;
    bool canRead = false;
    bool canWrite = false;
    bool error = false;
    bool atCtrlZ = false;  // msvcrt stops reading a text stream at Ctrl-Z
    bool written = false;  // noted as an effect on the machine
    enum class Last { none, read, write } last = Last::none;

    // Reading goes through a block of the file at a time, scanned in bulk:
    // a character at a time through stdio made large files slow to edit.
    static constexpr std::size_t kBlock = 64 * 1024;
    std::unique_ptr<char[]> block;
    std::unique_ptr<char[]> stage;  // written text after translation
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

    // fread: up to `room` characters after text-mode translation; stops at Ctrl-Z.
    std::size_t read(char* out, std::size_t room)
    {
        std::size_t n = 0;
        while (n < room && !atCtrlZ && fill()) {
            const char* const p = block.get() + next;
            const std::size_t span = std::min(end - next, room - n);
            if (!text) {
                std::memcpy(out + n, p, span);
                n += span;
                next += span;
                continue;
            }
            char* o = out + n;
            const char* const q = translateCrLf(p, p + span, o);
            n = static_cast<std::size_t>(o - out);
            next += static_cast<std::size_t>(q - p);
            if (q == p + span) continue;
            if (*q == kCtrlZ) {
                atCtrlZ = true;  // stays unread
                break;
            }
            ++next;
            if (fill() && block[next] == '\n') {
                ++next;
                out[n++] = '\n';
            } else {
                out[n++] = '\r';
            }
        }
        return n;
    }

    // Text mode writes '\n' as CR LF; false when stdio fails.
    bool writeText(const char* p, const char* const end)
    {
        // Half a block at a time, as translation may double it.
        if (!stage) stage = std::make_unique_for_overwrite<char[]>(kBlock);
        while (p != end) {
            const char* const stop = p + std::min<std::size_t>(static_cast<std::size_t>(end - p), kBlock / 2);
            char* o = stage.get();
            while (p != stop) {
                p = copyUntil(p, stop, o, '\n', '\n');
                if (p == stop) break;
                *o++ = '\r';
                *o++ = '\n';
                ++p;
            }
            const auto length = static_cast<std::size_t>(o - stage.get());
            if (fwrite_unlocked(stage.get(), 1, length, file) != length) return false;
        }
        return true;
    }
};

Stream* asStream(void* native) { return static_cast<Stream*>(native); }

void countStream(std::uint64_t serial, int delta)
{
    Machine* m = Machine::Internal::live();
    if (m != nullptr && m->internal().serial == serial) m->internal().streams += delta;
}

// "a+" in text mode drops a Ctrl-Z that ends the file, so appended text is
// readable; true when it did.
bool dropTrailingCtrlZ(const fs::path& p)
{
    std::error_code ec;
    const auto size = fs::file_size(p, ec);
    if (ec || size == 0) return false;
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (f == nullptr) return false;
    int last = EOF;
    if (std::fseek(f, -1, SEEK_END) == 0) last = std::fgetc(f);
    std::fclose(f);
    if (last != kCtrlZ) return false;
    fs::resize_file(p, size - 1, ec);
    return !ec;
}
}  // namespace

TextStream TextStream::open(const char* path, const char* mode)
{
    Machine& m = Machine::current();
    // msvcrt's errno, as callers read it: a missing file or folder is ENOENT,
    // a folder at the name EACCES.
    if (sim::injected(m, Op::fileOpen, path != nullptr ? path : "", kAccessDenied)) return {};
    if (path == nullptr || mode == nullptr || *path == '\0') return sim::fail(kFileNotFound), TextStream();
    const char kind = mode[0];
    if (kind != 'r' && kind != 'w' && kind != 'a') return sim::fail(kInvalidParameter), TextStream();
    bool plus = false;
    bool binary = false;
    for (const char* c = mode + 1; *c != '\0'; ++c) {
        if (*c == '+')
            plus = true;
        else if (*c == 'b')
            binary = true;
        else if (*c != 't')
            return sim::fail(kInvalidParameter), TextStream();
    }
    const auto p = m.hostPath(path);
    if (!p) return sim::fail(kFileNotFound), TextStream();
    std::error_code ec;
    if (fs::is_directory(fs::status(*p, ec))) return sim::fail(kAccessDenied), TextStream();
    if (!fs::is_directory(fs::status(p->parent_path(), ec))) return sim::fail(kFileNotFound), TextStream();
    // EACCES, with the system's code kept beside it.
    if (Machine::Internal::holds(m, *p)) return sim::fail(kSharingViolation), TextStream();
    const bool existed = fs::exists(fs::status(*p, ec));
    if (kind == 'a' && plus && !binary && dropTrailingCtrlZ(*p)) m.noteEffect(sim::Effect::Kind::fileWritten, path);

    std::string hostMode(1, kind);
    hostMode += 'b';
    if (plus) hostMode += '+';
    std::FILE* f = std::fopen(p->c_str(), hostMode.c_str());
    if (f == nullptr) return sim::fail(errno == ENOENT ? kFileNotFound : kAccessDenied), TextStream();
    // Writes line by line reach the host in large blocks, not a system call per 4 KB.
    std::setvbuf(f, nullptr, _IOFBF, Stream::kBlock);

    auto* s = new Stream;
    s->file = f;
    s->machine = m.internal().serial;
    s->path = path;
    s->text = !binary;
    s->canRead = kind == 'r' || plus;
    s->canWrite = kind != 'r' || plus;
    m.internal().streams += 1;
    if (!existed) m.noteEffect(sim::Effect::Kind::fileCreated, path);
    if (existed && kind == 'w') m.noteEffect(sim::Effect::Kind::fileWritten, path);
    TextStream t;
    t.stream_.reset(s);
    return t;
}

bool TextStream::getLine(char* buffer, int capacity)
{
    Stream* s = asStream(stream_.get());
    if (s == nullptr || buffer == nullptr || capacity <= 0) return false;
    if (Machine* m = Machine::Internal::live(); m != nullptr && sim::injected(*m, Op::fileRead, s->path, kReadFault)) {
        s->error = true;
        return false;
    }
    if (!s->canRead) {
        s->error = true;
        return sim::fail(kInvalidHandle);  // EBADF
    }
    s->switchTo(Stream::Last::read);
    const int n = s->getLine(buffer, capacity - 1);
    if (ferror_unlocked(s->file) != 0) s->error = !sim::fail(kReadFault);
    buffer[n] = '\0';
    return n > 0 || (capacity == 1 && !s->error);
}

std::size_t TextStream::read(char* buffer, std::size_t size)
{
    Stream* s = asStream(stream_.get());
    if (s == nullptr || buffer == nullptr || size == 0) return 0;
    if (Machine* m = Machine::Internal::live(); m != nullptr && sim::injected(*m, Op::fileRead, s->path, kReadFault)) {
        s->error = true;
        return 0;
    }
    if (!s->canRead) {
        s->error = !sim::fail(kInvalidHandle);  // EBADF
        return 0;
    }
    s->switchTo(Stream::Last::read);
    const std::size_t n = s->read(buffer, size);
    if (ferror_unlocked(s->file) != 0) s->error = !sim::fail(kReadFault);
    return n;
}

bool TextStream::putText(const char* text)
{
    return text != nullptr && putBytes(text, std::char_traits<char>::length(text));
}

bool TextStream::putBytes(const char* data, std::size_t size)
{
    Stream* s = asStream(stream_.get());
    if (s == nullptr || data == nullptr) return false;
    if (Machine* m = Machine::Internal::live(); m != nullptr && sim::injected(*m, Op::fileWrite, s->path, kDiskFull)) {
        s->error = true;
        return false;
    }
    if (!s->canWrite) {
        s->error = true;
        return sim::fail(kInvalidHandle);  // EBADF
    }
    s->switchTo(Stream::Last::write);
    s->atCtrlZ = false;
    if (s->text)
        s->writeText(data, data + size);
    else
        fwrite_unlocked(data, 1, size, s->file);
    if (ferror_unlocked(s->file) != 0) {
        s->error = true;
        return sim::fail(kDiskFull);
    }
    if (Machine* m = Machine::Internal::live(); m != nullptr && !s->written && size > 0) {
        s->written = true;
        m->noteEffect(sim::Effect::Kind::fileWritten, s->path);
    }
    return true;
}

bool TextStream::hadError() const
{
    const Stream* s = asStream(stream_.get());
    return s != nullptr && s->error;
}

bool streamClose(void* native) noexcept
{
    Stream* s = asStream(native);
    if (s == nullptr) return true;
    bool failed = false;
    if (Machine* m = Machine::Internal::live(); m != nullptr && m->internal().serial == s->machine)
        failed = sim::injected(*m, Op::fileClose, s->path, kDiskFull);
    failed = std::fclose(s->file) != 0 || failed;
    if (failed) sim::fail(kDiskFull);
    countStream(s->machine, -1);
    delete s;
    return !failed;
}

}  // namespace platform

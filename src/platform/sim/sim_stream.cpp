// msvcrt text-mode streams over host files. The host file is read and written
// through stdio as it goes, so memory use does not grow with the file.
#include "platform/files.h"
#include "platform/sim/sim_internal.h"

#include <cstdio>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace pf {

namespace {
using sim::Machine;
using sim::Op;

constexpr int kCtrlZ = 0x1A;

struct Stream {
    std::FILE* file = nullptr;
    std::uint64_t machine = 0;  // serial of the machine that counts it
    bool text = true;
    bool canRead = false;
    bool canWrite = false;
    bool error = false;
    bool atCtrlZ = false;  // msvcrt stops reading a text stream at Ctrl-Z
    enum class Last { none, read, write } last = Last::none;

    // C streams need a positioning call between reading and writing.
    void switchTo(Last next)
    {
        if (last != Last::none && last != next) std::fseek(file, 0, SEEK_CUR);
        last = next;
    }

    // One character after text-mode translation, or EOF.
    int get()
    {
        if (atCtrlZ) return EOF;
        const int c = getc_unlocked(file);
        if (!text || c == EOF) return c;
        if (c == kCtrlZ) {
            std::ungetc(c, file);
            atCtrlZ = true;
            return EOF;
        }
        if (c == '\r') {
            const int n = getc_unlocked(file);
            if (n == '\n') return '\n';
            if (n != EOF) std::ungetc(n, file);
        }
        return c;
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
    int n = 0;
    while (n < capacity - 1) {
        const int c = s->get();
        if (c == EOF) break;
        buffer[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    if (std::ferror(s->file) != 0) s->error = true;
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
    for (const char* c = data; c != data + size; ++c) {
        if (s->text && *c == '\n' && putc_unlocked('\r', s->file) == EOF) break;
        if (putc_unlocked(*c, s->file) == EOF) break;
    }
    if (std::ferror(s->file) != 0) {
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

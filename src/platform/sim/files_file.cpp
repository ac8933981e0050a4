// CreateFileA, ReadFile, WriteFile and CloseHandle on the simulated drives.
// Writes wait in the handle until it is closed or a block is full, as the
// system's cache holds them: a close that fails loses what was still waiting.
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/sim/machine_internal.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

namespace {
using sim::Machine;
using sim::Op;

constexpr std::size_t kBlock = 64 * 1024;

struct SimFile {
    int fd = -1;
    std::string deleteOnClose;  // the host path, for a probe
    std::uint64_t machine = 0;
    std::string path;     // as opened, for the failures it reports
    std::string pending;  // written, not yet on the host
    bool written = false;  // noted as an effect on the machine

    bool flush()
    {
        std::size_t done = 0;
        while (done < pending.size()) {
            const ssize_t n = ::write(fd, pending.data() + done, pending.size() - done);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        pending.clear();
        return true;
    }
};

SimFile* asFile(std::uintptr_t native) { return reinterpret_cast<SimFile*>(native); }

void countFile(std::uint64_t serial, int delta)
{
    Machine* m = Machine::Internal::live();
    if (m != nullptr && m->internal().serial == serial) m->internal().files += delta;
}

bool faultFor(const SimFile* f, Op op, Status code)
{
    Machine* m = Machine::Internal::live();
    return m != nullptr && m->internal().serial == f->machine && sim::injected(*m, op, f->path, code);
}
}  // namespace

bool fileClose(std::uintptr_t native) noexcept
{
    SimFile* f = asFile(native);
    if (f == nullptr) return true;
    bool kept = !faultFor(f, Op::fileClose, kDiskFull);
    if (kept) kept = f->flush() || sim::fail(kDiskFull);
    kept = ::close(f->fd) == 0 && kept;
    if (!f->deleteOnClose.empty()) ::unlink(f->deleteOnClose.c_str());
    countFile(f->machine, -1);
    delete f;
    return kept;
}

File File::open(const char* path, FileOpen how)
{
    Machine& m = Machine::current();
    if (sim::injected(m, Op::fileOpen, path != nullptr ? path : "", kAccessDenied)) return {};
    if (path == nullptr || *path == '\0') return sim::fail(kPathNotFound), File();
    const auto p = m.hostPath(path);
    std::error_code ec;
    if (!p || !fs::is_directory(fs::status(p->parent_path(), ec))) return sim::fail(kPathNotFound), File();
    // Creating a new file meets any name that stands there, a folder's too.
    if (fs::is_directory(fs::status(*p, ec)))
        return sim::fail(how == FileOpen::createNew || how == FileOpen::probe ? kFileExists : kAccessDenied), File();
    if (Machine::Internal::holds(m, *p)) return sim::fail(kSharingViolation), File();
    int flags = O_RDONLY;
    if (how == FileOpen::readAppend) flags = O_RDWR | O_CREAT | O_APPEND;
    if (how == FileOpen::createNew || how == FileOpen::probe) flags = O_WRONLY | O_CREAT | O_EXCL;  // a link fails too
    const bool existed = fs::exists(fs::symlink_status(*p, ec));
    const int fd = ::open(p->c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        sim::fail(errno == ENOENT ? kFileNotFound : errno == EEXIST ? kFileExists : kAccessDenied);
        return {};
    }
    auto* f = new SimFile;
    f->fd = fd;
    f->path = path;
    f->machine = m.internal().serial;
    // A probe is gone again when it is closed: it changes nothing.
    if (how == FileOpen::probe) f->deleteOnClose = p->string();
    if (!existed && how != FileOpen::probe && how != FileOpen::read) m.noteEffect(sim::Effect::Kind::fileCreated, path);
    m.internal().files += 1;
    File file;
    file.file_.reset(reinterpret_cast<std::uintptr_t>(f));
    return file;
}

bool File::read(char* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    SimFile* f = asFile(file_.get());
    if (f == nullptr || buffer == nullptr) return sim::fail(kInvalidHandle);
    if (faultFor(f, Op::fileRead, kReadFault)) return false;
    const ssize_t n = ::read(f->fd, buffer, size);
    if (n < 0) return sim::fail(kReadFault);
    got = static_cast<std::size_t>(n);
    return true;
}

bool File::write(const char* data, std::size_t size)
{
    SimFile* f = asFile(file_.get());
    if (f == nullptr || data == nullptr) return sim::fail(kInvalidHandle);
    if (faultFor(f, Op::fileWrite, kDiskFull)) return false;
    Machine* m = Machine::Internal::live();
    if (!f->written && size > 0 && m != nullptr && m->internal().serial == f->machine) {
        f->written = true;
        m->noteEffect(sim::Effect::Kind::fileWritten, f->path);
    }
    f->pending.append(data, size);
    return f->pending.size() < kBlock || f->flush() || sim::fail(kDiskFull);
}

}  // namespace platform

// kernel32 and msvcrt file calls on the simulated drives.
#include "platform/files.h"
#include "platform/sim/machine_internal.h"

#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

namespace {
using sim::Machine;
using sim::Op;

constexpr std::uint32_t kFileAttributeArchive = 0x20;

std::optional<fs::path> host(Machine& m, const char* path)
{
    if (path == nullptr || *path == '\0') return std::nullopt;
    return m.hostPath(path);
}

fs::file_status statusOf(const fs::path& p)
{
    std::error_code ec;
    return fs::status(p, ec);
}

bool isFolder(const fs::path& p) { return fs::is_directory(statusOf(p)); }
bool isFile(const fs::path& p) { return fs::exists(statusOf(p)) && !isFolder(p); }
}  // namespace

std::uint32_t getFileAttributes(const char* path)
{
    Machine& m = Machine::current();
    const auto p = host(m, path);
    if (!p) return kInvalidFileAttributes;
    const auto st = statusOf(*p);
    if (!fs::exists(st)) return kInvalidFileAttributes;
    return fs::is_directory(st) ? kFileAttributeDirectory : kFileAttributeArchive;
}

bool isLink(const char* path)
{
    Machine& m = Machine::current();
    const auto p = host(m, path);
    std::error_code ec;
    return p && fs::is_symlink(fs::symlink_status(*p, ec));
}

bool copyFile(const char* from, const char* to, bool failIfExists)
{
    Machine& m = Machine::current();
    if (m.faults().shouldFail(Op::copyFile)) return false;
    const auto src = host(m, from);
    const auto dst = host(m, to);
    if (!src || !dst || !isFile(*src)) return false;
    if (!isFolder(dst->parent_path())) return false;  // CopyFile creates no folders
    if (isFolder(*dst)) return false;
    if (isFile(*dst) && failIfExists) return false;
    std::error_code ec;
    fs::copy_file(*src, *dst, fs::copy_options::overwrite_existing, ec);
    return !ec;
}

bool deleteFile(const char* path)
{
    Machine& m = Machine::current();
    if (m.faults().shouldFail(Op::deleteFile)) return false;
    const auto p = host(m, path);
    // A link is deleted itself, wherever it points, and so is one that points nowhere.
    if (!p) return false;
    std::error_code ec;
    const bool link = fs::is_symlink(fs::symlink_status(*p, ec));
    if ((!link && !isFile(*p)) || (link && isFolder(*p))) return false;
    return fs::remove(*p, ec) && !ec;
}

bool removeDirectory(const char* path)
{
    Machine& m = Machine::current();
    if (m.faults().shouldFail(Op::removeDirectory)) return false;
    const auto p = host(m, path);
    if (!p || !isFolder(*p)) return false;
    // The process's current folder is in use and stays.
    const auto cwd = host(m, m.currentDirectory().c_str());
    std::error_code ec;
    if (cwd && fs::equivalent(*cwd, *p, ec)) return false;
    if (!fs::is_empty(*p, ec) || ec) return false;
    return fs::remove(*p, ec) && !ec;
}

int makeDirectory(const char* path)
{
    Machine& m = Machine::current();
    if (m.faults().shouldFail(Op::makeDirectory)) return kErrnoAccess;
    const auto p = host(m, path);
    if (!p) return kErrnoNoEntry;
    if (fs::exists(statusOf(*p))) return kErrnoExists;
    if (!isFolder(p->parent_path())) return kErrnoNoEntry;
    std::error_code ec;
    fs::create_directory(*p, ec);
    return ec ? kErrnoAccess : 0;
}

// The runtime's remove() and DeleteFileA do the same to a file, and fail alike on a folder.
bool removeFile(const char* path) { return deleteFile(path); }

bool replaceFile(const char* from, const char* to)
{
    Machine& m = Machine::current();
    if (m.faults().shouldFail(Op::replaceFile)) return false;
    const auto src = host(m, from);
    const auto dst = host(m, to);
    if (!src || !dst || !fs::exists(statusOf(*src))) return false;
    if (isFolder(*dst) || !isFolder(dst->parent_path())) return false;
    if (isFolder(*src) && fs::exists(statusOf(*dst))) return false;
    std::error_code ec;
    fs::rename(*src, *dst, ec);
    if (ec && isFile(*src)) {  // another host file system: copy, then delete
        ec.clear();
        fs::copy_file(*src, *dst, fs::copy_options::overwrite_existing, ec);
        if (!ec) fs::remove(*src, ec);
    }
    return !ec;
}

bool changeDirectory(const char* path)
{
    Machine& m = Machine::current();
    if (m.faults().shouldFail(Op::changeDirectory)) return false;
    if (path == nullptr || *path == '\0') return false;
    const auto r = Machine::Internal::resolve(m, path);
    if (!r || !isFolder(r->host)) return false;
    m.setCurrentDirectory(r->windowsForm());
    return true;
}

bool currentDirectory(char* buffer, std::size_t capacity)
{
    Machine& m = Machine::current();
    if (m.faults().shouldFail(Op::currentDirectory)) return false;
    const std::string cwd = m.currentDirectory();
    if (buffer == nullptr || cwd.size() + 1 > capacity) return false;
    std::memcpy(buffer, cwd.c_str(), cwd.size() + 1);
    return true;
}

bool getEnvironmentVariable(const char* name, std::string& value)
{
    Machine& m = Machine::current();
    if (m.faults().shouldFail(Op::getEnvironment)) return false;
    if (name == nullptr) return false;
    auto v = m.env(name);
    if (!v) return false;
    value = *v;
    return true;
}

}  // namespace platform

// kernel32 and msvcrt file calls on the simulated drives.
#include "platform/errors.h"
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

std::string_view subject(const char* path) { return path != nullptr ? path : ""; }

// Why a path names nothing: its folder is missing too, or only the last name.
Status missing(const fs::path& p) { return isFolder(p.parent_path()) ? kFileNotFound : kPathNotFound; }

// Another process holds the file open without sharing it.
bool inUse(const Machine& m, const fs::path& p) { return Machine::Internal::holds(m, p); }
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

bool finalPath(const char* path, std::string& target)
{
    Machine& m = Machine::current();
    const auto p = host(m, path);
    if (!p) return sim::fail(kPathNotFound);
    std::error_code ec;
    const fs::path resolved = fs::canonical(*p, ec);
    if (ec) return sim::fail(missing(*p));
    const auto windows = m.windowsPath(resolved);
    if (!windows) return sim::fail(kPathNotFound);
    target = *windows;
    return true;
}

bool copyFile(const char* from, const char* to, bool failIfExists)
{
    Machine& m = Machine::current();
    if (sim::injected(m, Op::copyFile, subject(from), kAccessDenied)) return false;
    const auto src = host(m, from);
    const auto dst = host(m, to);
    if (!src || !dst) return sim::fail(kPathNotFound);
    if (!isFile(*src)) return sim::fail(isFolder(*src) ? kAccessDenied : missing(*src));
    if (!isFolder(dst->parent_path())) return sim::fail(kPathNotFound);  // CopyFile creates no folders
    if (isFolder(*dst)) return sim::fail(kAccessDenied);
    if (isFile(*dst) && failIfExists) return sim::fail(kFileExists);
    if (inUse(m, *src) || inUse(m, *dst)) return sim::fail(kSharingViolation);
    std::error_code ec;
    fs::copy_file(*src, *dst, fs::copy_options::overwrite_existing, ec);
    if (ec) return sim::fail(kAccessDenied);
    m.noteEffect(sim::Effect::Kind::fileCopied, to, from);
    return true;
}

bool deleteFile(const char* path)
{
    Machine& m = Machine::current();
    if (sim::injected(m, Op::deleteFile, subject(path), kAccessDenied)) return false;
    const auto p = host(m, path);
    // A link is deleted itself, wherever it points, and so is one that points nowhere.
    if (!p) return sim::fail(kPathNotFound);
    std::error_code ec;
    const bool link = fs::is_symlink(fs::symlink_status(*p, ec));
    if (!link && !fs::exists(statusOf(*p))) return sim::fail(missing(*p));
    if ((!link && !isFile(*p)) || (link && isFolder(*p))) return sim::fail(kAccessDenied);
    if (!link && inUse(m, *p)) return sim::fail(kSharingViolation);
    if (!fs::remove(*p, ec) || ec) return sim::fail(kAccessDenied);
    m.noteEffect(sim::Effect::Kind::fileDeleted, path);
    return true;
}

bool removeDirectory(const char* path)
{
    Machine& m = Machine::current();
    if (sim::injected(m, Op::removeDirectory, subject(path), kAccessDenied)) return false;
    const auto p = host(m, path);
    if (!p) return sim::fail(kPathNotFound);
    if (!isFolder(*p)) return sim::fail(fs::exists(statusOf(*p)) ? 267 : missing(*p));  // ERROR_DIRECTORY
    // The process's current folder is in use and stays.
    const auto cwd = host(m, m.currentDirectory().c_str());
    std::error_code ec;
    if (cwd && fs::equivalent(*cwd, *p, ec)) return sim::fail(kSharingViolation);
    if (!fs::is_empty(*p, ec) || ec) return sim::fail(kDirectoryNotEmpty);
    if (!fs::remove(*p, ec) || ec) return sim::fail(kAccessDenied);
    m.noteEffect(sim::Effect::Kind::folderRemoved, path);
    return true;
}

int makeDirectory(const char* path)
{
    Machine& m = Machine::current();
    // errno values, and the Win32 codes that msvcrt's errno maps back to.
    if (sim::injected(m, Op::makeDirectory, subject(path), kAccessDenied)) return kErrnoAccess;
    const auto p = host(m, path);
    if (!p) return sim::fail(kPathNotFound), kErrnoNoEntry;
    if (fs::exists(statusOf(*p))) return sim::fail(kAlreadyExists), kErrnoExists;
    if (!isFolder(p->parent_path())) return sim::fail(kPathNotFound), kErrnoNoEntry;
    std::error_code ec;
    fs::create_directory(*p, ec);
    if (ec) return sim::fail(kAccessDenied), kErrnoAccess;
    m.noteEffect(sim::Effect::Kind::folderCreated, path);
    return 0;
}

// The runtime's remove() and DeleteFileA do the same to a file, and fail alike
// on a folder; ENOENT maps back to a missing file whatever was missing.
bool removeFile(const char* path)
{
    if (deleteFile(path)) return true;
    if (platform::lastError() == kPathNotFound) sim::fail(kFileNotFound);
    return false;
}

bool replaceFile(const char* from, const char* to)
{
    Machine& m = Machine::current();
    if (sim::injected(m, Op::replaceFile, subject(from), kAccessDenied)) return false;
    const auto src = host(m, from);
    const auto dst = host(m, to);
    if (!src || !dst) return sim::fail(kPathNotFound);
    if (!fs::exists(statusOf(*src))) return sim::fail(missing(*src));
    if (!isFolder(dst->parent_path())) return sim::fail(kPathNotFound);
    if (isFolder(*dst)) return sim::fail(kAccessDenied);
    if (isFolder(*src) && fs::exists(statusOf(*dst))) return sim::fail(kAlreadyExists);
    if (inUse(m, *src) || inUse(m, *dst)) return sim::fail(kSharingViolation);
    // A folder with an open file in it cannot move.
    if (isFolder(*src) && Machine::Internal::holdsWithin(m, *src)) return sim::fail(kAccessDenied);
    std::error_code ec;
    fs::rename(*src, *dst, ec);
    if (ec && isFile(*src)) {  // another host file system: copy, then delete
        ec.clear();
        fs::copy_file(*src, *dst, fs::copy_options::overwrite_existing, ec);
        if (!ec) fs::remove(*src, ec);
    }
    if (ec) return sim::fail(kAccessDenied);
    m.noteEffect(sim::Effect::Kind::fileMoved, to, from);
    return true;
}

bool changeDirectory(const char* path)
{
    Machine& m = Machine::current();
    if (sim::injected(m, Op::changeDirectory, subject(path), kAccessDenied)) return false;
    if (path == nullptr || *path == '\0') return sim::fail(kPathNotFound);
    const auto r = Machine::Internal::resolve(m, path);
    if (!r || !isFolder(r->host)) return sim::fail(kPathNotFound);
    m.setCurrentDirectory(r->windowsForm(m.codePage()));
    return true;
}

bool currentDirectory(char* buffer, std::size_t capacity)
{
    Machine& m = Machine::current();
    if (sim::injected(m, Op::currentDirectory, "", kAccessDenied)) return false;
    const std::string cwd = m.currentDirectory();
    if (buffer == nullptr || cwd.size() + 1 > capacity) return sim::fail(122);  // ERANGE
    std::memcpy(buffer, cwd.c_str(), cwd.size() + 1);
    return true;
}

bool getEnvironmentVariable(const char* name, std::string& value)
{
    Machine& m = Machine::current();
    if (sim::injected(m, Op::getEnvironment, subject(name), kEnvironmentNotFound)) return false;
    if (name == nullptr) return sim::fail(kInvalidParameter);
    auto v = m.env(name);
    if (!v) return sim::fail(kEnvironmentNotFound);
    value = *v;
    return true;
}

}  // namespace platform

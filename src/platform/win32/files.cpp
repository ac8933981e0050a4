// Files, folders and the environment over kernel32 and msvcrt.
#include "platform/files.h"

#include "platform/errors.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <direct.h>

namespace platform {
namespace {

// msvcrt reports a failure in errno; callers read every failure as a Win32
// code. ENOENT stands for a missing file or a missing folder, as the call says.
void keepErrno(Status notFound)
{
    Status code = 1;  // ERROR_INVALID_FUNCTION
    switch (errno) {
    case ENOENT: code = notFound; break;
    case EACCES:
        // msvcrt says EACCES for a file in use too; the system's own code tells them apart.
        code = (_doserrno == kSharingViolation || _doserrno == kLockViolation) ? static_cast<Status>(_doserrno)
                                                                              : kAccessDenied;
        break;
    case EEXIST: code = kAlreadyExists; break;
    case ENOSPC: code = kDiskFull; break;
    case EBADF: code = kInvalidHandle; break;
    case ENOMEM: code = kNotEnoughMemory; break;
    case EMFILE: code = 4; break;     // ERROR_TOO_MANY_OPEN_FILES
    case ERANGE: code = 122; break;   // ERROR_INSUFFICIENT_BUFFER
    case ENOTEMPTY: code = kDirectoryNotEmpty; break;
    case EINVAL: code = kInvalidParameter; break;
    default: break;
    }
    SetLastError(code);
}

}  // namespace

std::uint32_t getFileAttributes(const char* path)
{
    return GetFileAttributesA(path);
}

bool isLink(const char* path)
{
    const HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    bool link = GetFileInformationByHandle(h, &info) != FALSE &&
                (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // Where reparse points are not reported, the handle leads to the target:
    // its final path is not the one asked for.
    char final[MAX_PATH + 8] = {};
    char full[MAX_PATH + 8] = {};
    const DWORD n = GetFinalPathNameByHandleA(h, final, sizeof final, 0);
    const DWORD m = GetFullPathNameA(path, sizeof full, full, nullptr);
    CloseHandle(h);
    if (!link && n > 0 && n < sizeof final && m > 0 && m < sizeof full) {
        const char* finalPath = std::strncmp(final, "\\\\?\\", 4) == 0 ? final + 4 : final;
        link = _stricmp(finalPath, full) != 0;
    }
    return link;
}

bool finalPath(const char* path, std::string& target)
{
    const HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char final[MAX_PATH + 8] = {};
    const DWORD n = GetFinalPathNameByHandleA(h, final, sizeof final, 0);
    const DWORD code = GetLastError();
    CloseHandle(h);
    if (n == 0 || n >= sizeof final) {
        SetLastError(n == 0 ? code : ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    // "\\?\C:\..." for a drive, "\\?\UNC\server\..." for a share.
    if (std::strncmp(final, "\\\\?\\UNC\\", 8) == 0)
        target = std::string("\\\\") + (final + 8);
    else
        target = std::strncmp(final, "\\\\?\\", 4) == 0 ? final + 4 : final;
    return true;
}

bool copyFile(const char* from, const char* to, bool failIfExists)
{
    return CopyFileA(from, to, failIfExists ? TRUE : FALSE) != FALSE;
}

bool deleteFile(const char* path)
{
    return DeleteFileA(path) != FALSE;
}

bool removeDirectory(const char* path)
{
    return RemoveDirectoryA(path) != FALSE;
}

int makeDirectory(const char* path)
{
    if (_mkdir(path) == 0) return 0;
    const int error = errno;
    keepErrno(kPathNotFound);
    return error;
}

bool removeFile(const char* path)
{
    if (std::remove(path) == 0) return true;
    keepErrno(kFileNotFound);
    return false;
}

bool replaceFile(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool moveFileAtRestart(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool isFileInUse(const char* path)
{
    const HANDLE h = CreateFileA(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        SetLastError(ERROR_SUCCESS);
        return false;
    }
    const DWORD code = GetLastError();
    return code == kSharingViolation || code == kLockViolation;
}

bool changeDirectory(const char* path)
{
    if (_chdir(path) == 0) return true;
    keepErrno(kPathNotFound);
    return false;
}

bool currentDirectory(char* buffer, std::size_t capacity)
{
    if (_getcwd(buffer, static_cast<int>(capacity)) != nullptr) return true;
    keepErrno(kPathNotFound);
    return false;
}

bool getEnvironmentVariable(const char* name, std::string& value)
{
    const char* text = std::getenv(name);
    if (text == nullptr) {
        SetLastError(kEnvironmentNotFound);
        return false;
    }
    value = text;
    return true;
}

namespace {

FILE* stream(void* native)
{
    return static_cast<FILE*>(native);
}

}  // namespace

bool streamClose(void* native) noexcept
{
    if (std::fclose(stream(native)) == 0) return true;
    keepErrno(kFileNotFound);
    return false;
}

TextStream TextStream::open(const char* path, const char* mode)
{
    TextStream s;
    s.stream_.reset(std::fopen(path, mode));
    if (!s.stream_) keepErrno(kFileNotFound);
    return s;
}

bool TextStream::getLine(char* buffer, int capacity)
{
    if (!stream_) return false;
    if (std::fgets(buffer, capacity, stream(stream_.get())) != nullptr) return true;
    if (std::ferror(stream(stream_.get())) != 0) keepErrno(kFileNotFound);
    return false;
}

std::size_t TextStream::read(char* buffer, std::size_t size)
{
    if (!stream_ || buffer == nullptr) return 0;
    const std::size_t got = std::fread(buffer, 1, size, stream(stream_.get()));
    if (got < size && std::ferror(stream(stream_.get())) != 0) keepErrno(kFileNotFound);
    return got;
}

bool TextStream::putText(const char* text)
{
    if (!stream_) return false;
    if (std::fputs(text, stream(stream_.get())) >= 0) return true;
    keepErrno(kFileNotFound);
    return false;
}

bool TextStream::putBytes(const char* data, std::size_t size)
{
    if (!stream_) return false;
    if (size == 0 || std::fwrite(data, 1, size, stream(stream_.get())) == size) return true;
    keepErrno(kFileNotFound);
    return false;
}

bool TextStream::hadError() const
{
    return stream_ && std::ferror(stream(stream_.get())) != 0;
}

namespace {

void fill(const WIN32_FIND_DATAA& data, DirEntry& entry)
{
    entry.name = data.cFileName;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

Listing Listing::first(const char* pattern, DirEntry& entry)
{
    WIN32_FIND_DATAA data{};
    const HANDLE h = FindFirstFileA(pattern, &data);
    Listing listing;
    if (h == INVALID_HANDLE_VALUE) return listing;
    fill(data, entry);
    listing.listing_.reset(reinterpret_cast<std::uintptr_t>(h));
    return listing;
}

Status Listing::next(DirEntry& entry)
{
    if (!listing_) return kInvalidHandle;
    WIN32_FIND_DATAA data{};
    if (FindNextFileA(reinterpret_cast<HANDLE>(listing_.get()), &data) == FALSE) return GetLastError();
    fill(data, entry);
    return kSuccess;
}

void listingClose(std::uintptr_t listing) noexcept
{
    FindClose(reinterpret_cast<HANDLE>(listing));
}

}  // namespace platform

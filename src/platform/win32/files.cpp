// Files, folders and the environment over kernel32 and msvcrt.
#include "platform/files.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <direct.h>

namespace pf {

std::uint32_t getFileAttributes(const char* path)
{
    return GetFileAttributesA(path);
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
    return _mkdir(path) == 0 ? 0 : errno;
}

bool removeFile(const char* path)
{
    return std::remove(path) == 0;
}

bool replaceFile(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool changeDirectory(const char* path)
{
    return _chdir(path) == 0;
}

bool currentDirectory(char* buffer, std::size_t capacity)
{
    return _getcwd(buffer, static_cast<int>(capacity)) != nullptr;
}

bool getEnvironmentVariable(const char* name, std::string& value)
{
    const char* text = std::getenv(name);
    if (text == nullptr) return false;
    value = text;
    return true;
}

namespace {

FILE* stream(void* native)
{
    return static_cast<FILE*>(native);
}

}  // namespace

TextStream TextStream::open(const char* path, const char* mode)
{
    TextStream s;
    s.native_ = std::fopen(path, mode);
    return s;
}

bool TextStream::getLine(char* buffer, int capacity)
{
    return native_ != nullptr && std::fgets(buffer, capacity, stream(native_)) != nullptr;
}

std::size_t TextStream::read(char* buffer, std::size_t size)
{
    return native_ == nullptr || buffer == nullptr ? 0 : std::fread(buffer, 1, size, stream(native_));
}

bool TextStream::putText(const char* text)
{
    return native_ != nullptr && std::fputs(text, stream(native_)) >= 0;
}

bool TextStream::putBytes(const char* data, std::size_t size)
{
    return native_ != nullptr && (size == 0 || std::fwrite(data, 1, size, stream(native_)) == size);
}

bool TextStream::hadError() const
{
    return native_ != nullptr && std::ferror(stream(native_)) != 0;
}

bool TextStream::close() noexcept
{
    if (native_ == nullptr) return true;
    return std::fclose(stream(std::exchange(native_, nullptr))) == 0;
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
    listing.native_ = reinterpret_cast<std::uintptr_t>(h);
    return listing;
}

Status Listing::next(DirEntry& entry)
{
    if (native_ == 0) return kInvalidHandle;
    WIN32_FIND_DATAA data{};
    if (FindNextFileA(reinterpret_cast<HANDLE>(native_), &data) == FALSE) return GetLastError();
    fill(data, entry);
    return kSuccess;
}

void Listing::close() noexcept
{
    if (native_ != 0) FindClose(reinterpret_cast<HANDLE>(std::exchange(native_, 0)));
}

}  // namespace pf

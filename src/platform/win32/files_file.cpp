// CreateFileA, ReadFile, WriteFile and CloseHandle: files read and written as bytes.
#include "platform/files.h"

#include <windows.h>

namespace platform {

namespace {

HANDLE fileHandle(std::uintptr_t native) { return reinterpret_cast<HANDLE>(native); }

}  // namespace

bool fileClose(std::uintptr_t file) noexcept
{
    return CloseHandle(fileHandle(file)) != FALSE;
}

File File::open(const char* path, FileOpen how)
{
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (how == FileOpen::readAppend) {
        access = GENERIC_READ | GENERIC_WRITE;
        disposition = OPEN_ALWAYS;
    } else if (how == FileOpen::createNew || how == FileOpen::probe) {
        access = GENERIC_WRITE;
        disposition = CREATE_NEW;
    }
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (how == FileOpen::probe ? FILE_FLAG_DELETE_ON_CLOSE : 0);
    // Others may read the host's file meanwhile, as the host does at its start.
    const HANDLE h = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, disposition, flags, nullptr);
    File file;
    if (h != INVALID_HANDLE_VALUE) file.file_.reset(reinterpret_cast<std::uintptr_t>(h));
    return file;
}

bool File::read(char* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(size > 0x40000000u ? 0x40000000u : size);
    if (!file_ || ReadFile(fileHandle(file_.get()), buffer, want, &n, nullptr) == FALSE) return false;
    got = n;
    return true;
}

bool File::write(const char* data, std::size_t size)
{
    if (!file_) return false;
    // Appending: every write goes to the end, whatever was read before.
    LARGE_INTEGER zero{};
    if (SetFilePointerEx(fileHandle(file_.get()), zero, nullptr, FILE_END) == FALSE) return false;
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(size > 0x40000000u ? 0x40000000u : size);
        if (WriteFile(fileHandle(file_.get()), data, chunk, &written, nullptr) == FALSE || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace platform

// Files, folders, the working directory and the environment, as kernel32 and
// msvcrt offer them. Paths are narrow, in Windows form.
#pragma once

#include "platform/types.h"
#include "platform/unique_handle.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;

inline constexpr int kErrnoNoEntry = 2;   // ENOENT
inline constexpr int kErrnoAccess = 13;   // EACCES
inline constexpr int kErrnoExists = 17;   // EEXIST

// Another process has the file open without sharing it, or holds a lock on it:
// a running host keeps its modules so.
inline constexpr Status kSharingViolation = 32;  // ERROR_SHARING_VIOLATION
inline constexpr Status kLockViolation = 33;     // ERROR_LOCK_VIOLATION
inline constexpr bool isHeldElsewhere(Status code) { return code == kSharingViolation || code == kLockViolation; }

std::uint32_t getFileAttributes(const char* path);                     // GetFileAttributesA
// Something at `path` leads elsewhere: a symbolic link or another reparse
// point. Some systems (Wine) delete or move what a link points to when
// asked to delete or move the link, so a link is best left alone.
bool isLink(const char* path);
// The path of the file that `path` leads to, links followed
// (GetFinalPathNameByHandleA), in the form the other calls take. False when
// it cannot be told.
bool finalPath(const char* path, std::string& target);
bool copyFile(const char* from, const char* to, bool failIfExists);   // CopyFileA
bool deleteFile(const char* path);                                    // DeleteFileA
bool removeDirectory(const char* path);                               // RemoveDirectoryA: empty folders only
int makeDirectory(const char* path);                                  // _mkdir: 0, or the errno value
bool removeFile(const char* path);                                    // remove()
bool replaceFile(const char* from, const char* to);                   // MoveFileExA, replacing `to`
// MoveFileExA(from, to, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING); a null `to`
// deletes `from` at the next restart. Only administrators may: the system
// keeps the list under HKLM.
bool moveFileAtRestart(const char* from, const char* to);
// Another process holds the file so that it could be neither replaced nor
// deleted now: opening it for writing and deletion, sharing everything,
// fails with a sharing or lock violation (a loaded module fails so too).
// False for a file that is missing or that this process may not write, with
// the open's error as the last error (kSuccess when the open succeeded).
bool isFileInUse(const char* path);
bool changeDirectory(const char* path);                               // _chdir
bool currentDirectory(char* buffer, std::size_t capacity);            // _getcwd
bool getEnvironmentVariable(const char* name, std::string& value);    // getenv: false when unset

// fclose: false when buffered data could not be written.
bool streamClose(void* stream) noexcept;
struct StreamTraits {
    using Native = void*;
    static constexpr Native invalid() noexcept { return nullptr; }
    static bool close(Native stream) noexcept { return streamClose(stream); }
};

// A msvcrt text-mode stream ("r", "w", "a+"): '\n' is written as CR LF and
// CR LF reads back as '\n'. Closed when it goes out of scope.
class TextStream {
public:
    static TextStream open(const char* path, const char* mode);  // fopen
    explicit operator bool() const noexcept { return static_cast<bool>(stream_); }

    // fgets: at most capacity - 1 characters, up to and including '\n'.
    // False at the end of the file or on a read error.
    bool getLine(char* buffer, int capacity);
    // fread: at most `size` characters, translated as getLine does and stopping
    // at Ctrl-Z as it does. 0 at the end of the file or on a read error.
    std::size_t read(char* buffer, std::size_t size);
    bool putText(const char* text);  // fputs
    bool putBytes(const char* data, std::size_t size);  // fwrite: NUL bytes included
    bool hadError() const;           // ferror
    // fclose; false when buffered data could not be written.
    bool close() noexcept { return stream_.reset(); }

private:
    UniqueHandle<StreamTraits> stream_;
};

// CloseHandle; false when what was written could not be kept.
bool fileClose(std::uintptr_t file) noexcept;
struct FileTraits {
    using Native = std::uintptr_t;
    static constexpr Native invalid() noexcept { return 0; }
    static bool close(Native file) noexcept { return fileClose(file); }
};

// How a File is opened (CreateFileA): an existing file for reading; a file
// for reading and appending, created when missing; a new file that must not
// exist yet (CREATE_NEW: a link or file standing at the name makes the open
// fail, so nothing is ever written through it); or such a new file that the
// system deletes as it is closed, to learn whether it can be created.
enum class FileOpen { read, readAppend, createNew, probe };

// A file read and written as bytes, without text-mode translation. Closed
// when it goes out of scope.
class File {
public:
    static File open(const char* path, FileOpen how);
    explicit operator bool() const noexcept { return static_cast<bool>(file_); }

    // ReadFile: up to `size` bytes into `buffer`, `got` of them (0 at the end
    // of the file). False on a read error.
    bool read(char* buffer, std::size_t size, std::size_t& got);
    // WriteFile: all of `data`, at the end of the file in readAppend mode.
    bool write(const char* data, std::size_t size);
    // False when what was written could not all be kept.
    bool close() noexcept { return file_.reset(); }

private:
    UniqueHandle<FileTraits> file_;
};

struct DirEntry {
    std::string name;
    bool isDirectory = false;
};

// FindClose.
void listingClose(std::uintptr_t listing) noexcept;
struct ListingTraits {
    using Native = std::uintptr_t;
    static constexpr Native invalid() noexcept { return 0; }
    static bool close(Native listing) noexcept
    {
        listingClose(listing);
        return true;
    }
};

// A folder listing (FindFirstFileA / FindNextFileA), closed when it goes out
// of scope. As on Windows, "." and ".." come first in a real folder.
class Listing {
public:
    // Lists `pattern` ("folder\*" or "*.*" in the current folder); an invalid
    // listing when nothing can be listed.
    static Listing first(const char* pattern, DirEntry& entry);
    explicit operator bool() const noexcept { return static_cast<bool>(listing_); }
    // kSuccess with the next entry, kNoMoreFiles at the end, or another error.
    Status next(DirEntry& entry);
    void close() noexcept { listing_.reset(); }

private:
    UniqueHandle<ListingTraits> listing_;
};

}  // namespace platform

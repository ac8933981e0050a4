// The simulated machine's bookkeeping, shared by the files of the simulated
// platform layer (and by ca-sim, which reports the property change log).
#pragma once

#include "platform/files.h"
#include "platform/sim/machine.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sim {

// ASCII case folding of one byte (a drive letter), as Windows compares names (upper case).
char foldCase(char c);
// Names of the machine (registry keys and values, environment variables), in
// its code page, compared as Windows compares them.
bool equalNoCase(std::string_view a, std::string_view b);
// The host's file names (UTF-8) compared the same way.
bool sameHostName(std::string_view a, std::string_view b);
bool hostNameLess(std::string_view a, std::string_view b);

// A Windows path taken apart and located on the host.
struct ResolvedPath {
    char drive = 'C';
    std::vector<std::string> parts;  // UTF-8, in on-disk case where the component exists
    std::filesystem::path host;
    std::string windowsForm(const CodePage& codePage) const;  // "C:\\a\\b"
};

// A change of an installer property, in the order the library made it.
struct PropertyChange {
    std::string name;
    std::optional<std::string> before;
    std::optional<std::string> after;
};

struct Machine::Internal {
    // The machine that platform:: calls reach, or null (used where throwing is not allowed).
    static Machine* live();
    // A number that tells machines apart, so that a handle of an old machine
    // is not counted off a new one.
    std::uint64_t serial = 0;

    static bool databaseAvailable(const Machine& m) { return m.databaseAvailable_; }
    static std::optional<ResolvedPath> resolve(const Machine& m, std::string_view windowsPath);
    // The path as GetFullPathName gives it (no host path, case as given).
    static ResolvedPath lexical(const Machine& m, std::string_view windowsPath);
    // Some held file is at `host`, following links as an open does.
    static bool holds(const Machine& m, const std::filesystem::path& host);
    // Some held file lies below the folder `host`.
    static bool holdsWithin(const Machine& m, const std::filesystem::path& host);

    // Handle numbers are unique across machines, so that a handle that
    // outlived its machine never names something on the next one.
    static std::uintptr_t newId();

    struct OpenKey {
        std::string path;  // below HKLM
        std::uint32_t access = 0;
        // The subkey that enumeration returned last, so that the next index
        // continues from it instead of walking the subkeys from the start.
        std::uint32_t enumIndex = 0;
        std::size_t enumCount = 0;
        std::string enumName;
    };
    std::map<std::uintptr_t, OpenKey> keys;

    int streams = 0;
    int files = 0;

    struct ListingState {
        std::vector<platform::DirEntry> entries;
        std::size_t next = 0;
        std::string folder;  // the pattern, in the current folder's path when it names none
    };
    std::map<std::uintptr_t, ListingState> listings;

    // Installer handles. A record remembers its row by the row's primary key.
    struct Database {};
    struct View {
        std::string dialog, type, property;
        bool executed = false;
        std::vector<std::pair<std::string, std::string>> rows;  // snapshot of primary keys
        std::size_t next = 0;
    };
    struct Record {
        std::array<std::string, 12> fields;
        std::optional<std::pair<std::string, std::string>> row;
    };
    std::map<platform::MsiHandle, std::variant<Database, View, Record>> msi;

    int com = 0;

    std::vector<PropertyChange> propertyChanges;

    // The code the last failing call left, as GetLastError (or the mapped
    // errno of a msvcrt call) gives it.
    platform::Status lastError = 0;
};

// A failing call: leaves `code` as the live machine's last error. False, so
// that a call can end with `return fail(code)`.
bool fail(platform::Status code);

// True when this call of kind `op` is the one to fail: the failure is
// recorded with the call's subject and `code`, which is also left as the
// last error.
bool injected(Machine& m, Op op, std::string_view subject, platform::Status code);

}  // namespace sim

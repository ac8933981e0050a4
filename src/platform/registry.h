// The registry under HKEY_LOCAL_MACHINE, in the process's own view.
#pragma once

#include "platform/types.h"
#include "platform/unique_handle.h"

#include <cstdint>

namespace platform {

inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// RegCloseKey.
bool regCloseKey(std::uintptr_t key) noexcept;
struct RegKeyTraits {
    using Native = std::uintptr_t;
    static constexpr Native invalid() noexcept { return 0; }
    static bool close(Native key) noexcept { return regCloseKey(key); }
};
// An open registry key, closed when it goes out of scope.
using RegKey = UniqueHandle<RegKeyTraits>;

// RegOpenKeyExA below HKEY_LOCAL_MACHINE, or below `parent` when it is given.
Status regOpenKey(const RegKey* parent, const char* subKey, std::uint32_t access, RegKey& key);
// RegCreateKeyExA below HKEY_LOCAL_MACHINE: non-volatile, no class, default security.
Status regCreateKey(const char* subKey, std::uint32_t access, RegKey& key);
// RegEnumKeyExA: *nameLength and *classLength are capacities in, lengths out.
Status regEnumKey(const RegKey& key, std::uint32_t index, char* name, std::uint32_t* nameLength, char* className,
                  std::uint32_t* classLength);
// RegEnumValueA: the name of the value at `index` (needs the right to query
// values); *nameLength is the capacity in, the name's length out.
// kNoMoreItems past the last one.
Status regEnumValue(const RegKey& key, std::uint32_t index, char* name, std::uint32_t* nameLength);
// RegQueryValueExA: *size is the capacity in, the data's size out; type may be null.
Status regQueryValue(const RegKey& key, const char* name, std::uint32_t* type, void* data, std::uint32_t* size);
Status regSetValue(const RegKey& key, const char* name, std::uint32_t type, const void* data, std::uint32_t size);
Status regDeleteValue(const RegKey& key, const char* name);

}  // namespace platform

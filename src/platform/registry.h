// The registry under HKEY_LOCAL_MACHINE, in the process's own view.
#pragma once

#include "platform/types.h"

#include <cstdint>
#include <utility>

namespace pf {

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

// An open registry key, closed when it goes out of scope.
class RegKey {
public:
    RegKey() noexcept = default;
    RegKey(RegKey&& other) noexcept : native_(std::exchange(other.native_, 0)) {}
    RegKey& operator=(RegKey&& other) noexcept
    {
        if (this != &other) {
            reset();
            native_ = std::exchange(other.native_, 0);
        }
        return *this;
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { reset(); }

    explicit operator bool() const noexcept { return native_ != 0; }
    std::uintptr_t native() const noexcept { return native_; }
    void reset() noexcept;
    static RegKey adopt(std::uintptr_t native) noexcept
    {
        RegKey k;
        k.native_ = native;
        return k;
    }

private:
    std::uintptr_t native_ = 0;
};

// RegOpenKeyExA below HKEY_LOCAL_MACHINE, or below `parent` when it is given.
Status regOpenKey(const RegKey* parent, const char* subKey, std::uint32_t access, RegKey& key);
// RegCreateKeyExA below HKEY_LOCAL_MACHINE: non-volatile, no class, default security.
Status regCreateKey(const char* subKey, std::uint32_t access, RegKey& key);
// RegEnumKeyExA: *nameLength and *classLength are capacities in, lengths out.
Status regEnumKey(const RegKey& key, std::uint32_t index, char* name, std::uint32_t* nameLength, char* className,
                  std::uint32_t* classLength);
// RegQueryValueExA: *size is the capacity in, the data's size out; type may be null.
Status regQueryValue(const RegKey& key, const char* name, std::uint32_t* type, void* data, std::uint32_t* size);
Status regSetValue(const RegKey& key, const char* name, std::uint32_t type, const void* data, std::uint32_t size);
Status regDeleteValue(const RegKey& key, const char* name);

}  // namespace pf

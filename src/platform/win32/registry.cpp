// The registry over advapi32. RegKey holds the HKEY.
#include "platform/registry.h"

namespace platform {
namespace {

HKEY hkey(std::uintptr_t native)
{
    return reinterpret_cast<HKEY>(native);
}

std::uintptr_t native(HKEY key)
{
    return reinterpret_cast<std::uintptr_t>(key);
}

}  // namespace

bool regCloseKey(std::uintptr_t key) noexcept
{
    return RegCloseKey(hkey(key)) == ERROR_SUCCESS;
}

Status regOpenKey(const RegKey* parent, const char* subKey, std::uint32_t access, RegKey& key)
{
    HKEY base = parent != nullptr ? hkey(parent->get()) : HKEY_LOCAL_MACHINE;
    HKEY opened = nullptr;
    const LONG rc = RegOpenKeyExA(base, subKey, 0, access, &opened);
    if (rc == ERROR_SUCCESS) {
        key.reset(native(opened));
    } else if (&key != parent) {
        key.reset();
    }
    return static_cast<Status>(rc);
}

Status regCreateKey(const char* subKey, std::uint32_t access, RegKey& key)
{
    HKEY created = nullptr;
    const LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                    &created, nullptr);
    if (rc == ERROR_SUCCESS) {
        key.reset(native(created));
    } else {
        key.reset();
    }
    return static_cast<Status>(rc);
}

Status regEnumKey(const RegKey& key, std::uint32_t index, char* name, std::uint32_t* nameLength, char* className,
                  std::uint32_t* classLength)
{
    DWORD nameLen = nameLength != nullptr ? *nameLength : 0;
    DWORD classLen = classLength != nullptr ? *classLength : 0;
    const LONG rc = RegEnumKeyExA(hkey(key.get()), index, name, nameLength != nullptr ? &nameLen : nullptr,
                                  nullptr, className, classLength != nullptr ? &classLen : nullptr, nullptr);
    if (nameLength != nullptr) *nameLength = nameLen;
    if (classLength != nullptr) *classLength = classLen;
    return static_cast<Status>(rc);
}

Status regEnumValue(const RegKey& key, std::uint32_t index, char* name, std::uint32_t* nameLength)
{
    DWORD length = nameLength != nullptr ? *nameLength : 0;
    const LONG rc = RegEnumValueA(hkey(key.get()), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (nameLength != nullptr) *nameLength = length;
    return static_cast<Status>(rc);
}

Status regQueryValue(const RegKey& key, const char* name, std::uint32_t* type, void* data, std::uint32_t* size)
{
    DWORD valueType = 0;
    DWORD valueSize = size != nullptr ? *size : 0;
    const LONG rc = RegQueryValueExA(hkey(key.get()), name, nullptr, type != nullptr ? &valueType : nullptr,
                                     static_cast<BYTE*>(data), size != nullptr ? &valueSize : nullptr);
    if (type != nullptr) *type = valueType;
    if (size != nullptr) *size = valueSize;
    return static_cast<Status>(rc);
}

Status regSetValue(const RegKey& key, const char* name, std::uint32_t type, const void* data, std::uint32_t size)
{
    return static_cast<Status>(
        RegSetValueExA(hkey(key.get()), name, 0, type, static_cast<const BYTE*>(data), size));
}

Status regDeleteValue(const RegKey& key, const char* name)
{
    return static_cast<Status>(RegDeleteValueA(hkey(key.get()), name));
}

}  // namespace platform

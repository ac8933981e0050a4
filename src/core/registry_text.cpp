#include "core/registry_text.h"

namespace ca {

bool queryStringValue(const platform::RegKey& key, const char* name, PathBuffer& value, platform::Status* status)
{
    value.clear();
    std::uint32_t size = PathBuffer::capacity;
    const platform::Status queried = platform::regQueryValue(key, name, nullptr, value.data(), &size);
    if (status != nullptr) *status = queried;
    if (queried != platform::kSuccess || size == 0) {
        value.clear();
        return false;
    }
    // 260 bytes without a terminator would be a 260-character text: it does not fit.
    if (size == PathBuffer::capacity && value.c_str()[size - 1] != '\0') {
        value.clear();
        return false;
    }
    return true;
}

}  // namespace ca

#include "core/properties.h"

#include <string>

namespace ca {

void setProperty(platform::MsiHandle session, const char* name, std::string_view value)
{
    const std::string text(value);
    platform::msiSetProperty(session, name, text.c_str());
}

bool propertyEquals(platform::MsiHandle session, const char* name, std::string_view expected)
{
    PathBuffer value;
    readProperty(session, name, value);
    return value == expected;
}

}  // namespace ca

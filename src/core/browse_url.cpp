// BrowseToURL: opens the address that the package put into the property of
// the same name.
#include "core/boundary.h"
#include "core/properties.h"
#include "platform/shell.h"

namespace ca {
namespace {

unsigned browseToUrl(platform::MsiHandle session)
{
    FixedString<1040> url;
    if (readProperty(session, "BrowseToURL", url) != platform::kSuccess) return 0;
    platform::shellOpen(url.c_str());
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(BrowseToURL, ca::browseToUrl)

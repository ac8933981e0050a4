// BrowseToURL: opens the address that the package put into the property of
// the same name.
#include "core/boundary.h"
#include "core/log.h"
#include "platform/shell.h"

namespace ca {
namespace {

unsigned browseToUrl(const Session& session)
{
    FixedString<1040> url;
    std::size_t length = 0;
    const platform::Status status = session.read("BrowseToURL", url, &length);
    if (status == platform::kMoreData) {
        session.log(
            concat("BrowseToURL holds ", std::to_string(length), " characters, more than 1039: nothing opened"));
        return 0;
    }
    if (status != platform::kSuccess) return 0;
    session.log(concat("opening ", shown(url.view())));
    platform::shellOpen(url.c_str());
    return 0;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(BrowseToURL, ca::browseToUrl)

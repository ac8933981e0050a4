// The host surveys: per host folder, a REG_MULTI_SZ value under the product
// key listing the add-in's places that the folder held before the add-in
// first wrote into it.
#include "core/log.h"
#include "core/paths.h"
#include "core/text.h"
#include "model/host_folder.h"
#include "model/release_table.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "records/product_records.h"

#include <vector>

namespace ca {
namespace {

// One value per folder, whatever case or trailing separator names it.
std::string surveyValueName(std::string_view folder)
{
    std::string name(folder);
    stripTrailingSeparator(name);
    return "Before " + lowerCased(name);
}

bool exists(const HostFolder& host, std::string_view relative)
{
    PathBuffer path;
    return host.path(relative, path) && platform::getFileAttributes(path.c_str()) != platform::kInvalidFileAttributes;
}

// The files of a folder of the list are surveyed with it.
void surveyFolderFiles(const HostFolder& host, const std::string& folder, HostSurvey& survey)
{
    PathBuffer pattern;
    if (!host.path(folder + "*", pattern)) return;
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first(pattern.c_str(), entry);
    for (bool more = static_cast<bool>(listing); more; more = listing.next(entry) == platform::kSuccess)
        if (!entry.isDirectory) survey.add(folder + entry.name);
}

HostSurvey surveyHost(const HostFolder& host)
{
    HostSurvey survey;
    for (const std::string& place : placesInHost()) {
        if (!exists(host, place)) continue;
        survey.add(place);
        if (endsWithSeparator(place)) surveyFolderFiles(host, place, survey);
    }
    return survey;
}

enum class Lookup { found, absent, failed };

// The survey of `folder`; `absent` only when the registry says that there is
// none, so that a read that fails never makes a later survey overwrite it.
Lookup lookUp(const Session& session, std::string_view folder, HostSurvey& survey)
{
    platform::RegKey key;
    const platform::Status opened = platform::regOpenKey(nullptr, kProductKey, platform::kKeyQueryValue, key);
    if (opened == platform::kFileNotFound) return Lookup::absent;
    if (opened != platform::kSuccess)
        return logFailed(session, opened, "open registry key ", registryKeyName(kProductKey)), Lookup::failed;
    const std::string name = surveyValueName(folder);
    const std::string what = concat("read ", escaped(name), " of ", registryKeyName(kProductKey));
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    platform::Status queried = platform::regQueryValue(key, name.c_str(), &type, nullptr, &size);
    if (queried == platform::kFileNotFound) return Lookup::absent;
    if (queried == platform::kSuccess && type != platform::kRegMultiSz)
        return session.log(concat(what, ": not a REG_MULTI_SZ value")), Lookup::failed;
    std::vector<char> data(size + 2, '\0');
    if (queried == platform::kSuccess) queried = platform::regQueryValue(key, name.c_str(), &type, data.data(), &size);
    if (queried != platform::kSuccess) return logFailed(session, queried, what), Lookup::failed;
    for (std::size_t at = 0; at < size && data[at] != '\0';) {
        const std::string place(data.data() + at);
        survey.add(place);
        at += place.size() + 1;
    }
    return Lookup::found;
}

}  // namespace

void recordHostSurvey(const Session& session, std::string_view folder)
{
    const HostFolder host = HostFolder::stripped(folder);
    HostSurvey earlier;
    if (!host || lookUp(session, folder, earlier) != Lookup::absent) return;
    const HostSurvey survey = surveyHost(host);
    std::string data;
    for (const std::string& place : survey.places()) data += place + '\0';
    data += '\0';
    platform::RegKey key;
    const std::string name = surveyValueName(folder);
    platform::Status status = platform::regCreateKey(kProductKey, platform::kKeyWrite, key);
    if (status != platform::kSuccess)
        return logFailed(session, status, "create registry key ", registryKeyName(kProductKey));
    status = platform::regSetValue(key, name.c_str(), platform::kRegMultiSz, data.data(),
                                   static_cast<std::uint32_t>(data.size()));
    if (status != platform::kSuccess)
        return logFailed(session, status, "write ", escaped(name), " under ", registryKeyName(kProductKey));
    session.log(concat("record ", shown(name), " written: ", escaped(folder), " held ",
                       std::to_string(survey.places().size()), " of the add-in's places before"));
}

bool readHostSurvey(const Session& session, std::string_view folder, std::optional<HostSurvey>& before)
{
    before.reset();
    HostSurvey survey;
    const Lookup found = folder.empty() ? Lookup::absent : lookUp(session, folder, survey);
    if (found == Lookup::found) before = std::move(survey);
    return found != Lookup::failed;
}

}  // namespace ca

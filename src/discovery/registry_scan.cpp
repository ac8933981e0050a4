#include "discovery/registry_scan.h"

#include "core/registry_text.h"
#include "model/host_folder.h"

#include <cstdlib>

namespace ca {
namespace {

// Past this many installations of one release key, the rest are counted.
constexpr int kInstallationsLogged = 16;

// Why an installation subkey is passed over, or "" when it is usable.
class SubkeyScan {
public:
    SubkeyScan(const ReleaseKeyName& name, const char* subkey)
        : below_(concat(name.key, "\\", subkey)), key_(registryKeyName(below_)),
          prefix_(concat(name.release, " ", escaped(subkey), ": "))
    {
    }

    // A text value. A failed query is told in the verdict (its code is
    // kept), a missing one is the caller's reason.
    bool text(const platform::RegKey& key, const char* value, PathBuffer& out)
    {
        platform::Status status = platform::kSuccess;
        if (queryStringValue(key, value, out, &status)) return true;
        if (queryFailed(status) && failure_.empty())
            failure_ = concat("read ", registryValueName(below_, value), " failed: ", errorDescription(status));
        return false;
    }
    const std::string& key() const { return key_; }
    // The verdict's line; a failed query, which the verdict follows from, is told with it.
    std::string line(std::string_view verdict) const
    {
        return prefix_ + std::string(verdict) + (failure_.empty() ? "" : " (" + failure_ + ")");
    }

private:
    std::string below_;
    std::string key_;
    std::string prefix_;
    std::string failure_;
};

// "Shipcode", or "DateCode" when there is none.
bool readShipcode(SubkeyScan& scan, const platform::RegKey& installation, PathBuffer& shipcode)
{
    if (scan.text(installation, "Shipcode", shipcode)) return true;
    if (!shipcode.empty()) return false;
    return scan.text(installation, "DateCode", shipcode);
}

// One installation subkey: its verdict for the log, and the outputs. Every
// subkey gets a verdict, a failure to read it too, so that the walk's count
// bounds them all.
std::string scanInstallation(const platform::RegKey& releaseKey, const char* folderValue, const ReleaseKeyName& name,
                             const char* subkey, PathBuffer& folder, PathBuffer& label, InstallationMap& map)
{
    SubkeyScan scan(name, subkey);
    platform::RegKey installation;
    const platform::Status opened = platform::regOpenKey(&releaseKey, subkey, platform::kKeyRead, installation);
    if (opened != platform::kSuccess)
        return scan.line(concat("skipped: open registry key ", scan.key(), " failed: ", errorDescription(opened)));
    PathBuffer workFolder;
    PathBuffer datecode;
    if (!scan.text(installation, folderValue, workFolder))
        return scan.line(concat("skipped: no ", folderValue, " text of at most 259 characters"));
    if (!scan.text(installation, "DateCode", datecode))
        return scan.line("skipped: no DateCode text of at most 259 characters");
    if (std::strtoll(datecode.c_str(), nullptr, 10) <= 0)
        return scan.line(concat("skipped: DateCode ", shown(datecode.view()), " is not a positive number"));
    if (!hasHostExecutable(workFolder.view()))
        return scan.line(concat("skipped: ", escaped(workFolder.view()), " ", noHostReason(workFolder.view())));
    folder.assign(workFolder.view());

    PathBuffer shipcode;
    PathBuffer datecodeLabel;
    if (!readShipcode(scan, installation, shipcode))
        return scan.line(concat("found in ", escaped(workFolder.view()), ", without a Shipcode or DateCode label: not listed"));
    if (!buildDatecodeLabel(shipcode.view(), datecodeLabel))
        return scan.line(concat("found in ", escaped(workFolder.view()), ", its label from ", shown(shipcode.view()),
                                " longer than 259 characters: not listed"));
    map.emplace(datecodeLabel.str(), workFolder.str());
    label.assign(datecodeLabel.view());
    return scan.line(concat("found in ", escaped(workFolder.view()), ", ", escaped(datecodeLabel.view())));
}

}  // namespace

bool buildDatecodeLabel(std::string_view shipcode, PathBuffer& label)
{
    label.clear();
    return label.appendAll("(", "Datecode:", " ", shipcode, ")");
}

void logUnopenedKey(const Session& session, platform::Status status, std::string_view key, std::string_view what)
{
    if (status == platform::kFileNotFound)
        session.log(concat(registryKeyName(key), " not found: ", what));
    else
        logFailed(session, status, "open registry key ", registryKeyName(key));
}

bool scanReleaseKey(const Session& session, const platform::RegKey& releaseKey, const char* folderValue,
                    const ReleaseKeyName& name, PathBuffer& folder, PathBuffer& label, InstallationMap& map)
{
    int logged = 0;
    int unlogged = 0;
    for (std::uint32_t index = 0;; ++index) {
        char subkey[kMaxPath] = {};
        char className[kMaxPath] = {};
        std::uint32_t nameLength = kMaxPath;
        std::uint32_t classLength = kMaxPath;
        const platform::Status status =
            platform::regEnumKey(releaseKey, index, subkey, &nameLength, className, &classLength);
        if (status != platform::kSuccess || nameLength == 0) {
            if (status != platform::kSuccess && status != platform::kNoMoreItems)
                logFailed(session, status, "list the subkeys of ", registryKeyName(name.key));
            break;
        }
        const std::string verdict = scanInstallation(releaseKey, folderValue, name, subkey, folder, label, map);
        if (logged < kInstallationsLogged)
            session.log(verdict), ++logged;
        else
            ++unlogged;
    }
    if (unlogged > 0)
        session.log(concat(name.release, ": ", std::to_string(unlogged), " more installation keys under ",
                           registryKeyName(name.key), ", not logged one by one"));
    return !folder.empty();
}

}  // namespace ca

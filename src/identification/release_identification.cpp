#include "identification/release_identification.h"

#include "core/log.h"
#include "model/host_folder.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/registry.h"

#include <cstring>
#include <string_view>

namespace ca {
namespace {

constexpr std::string_view kInstallLog = "uninstall\\instlog.txt";
constexpr std::string_view kDescriptor = "bin\\pim\\xml\\creobase.p.xml";

bool pathExists(const PathBuffer& path) { return platform::getFileAttributes(path.c_str()) != platform::kInvalidFileAttributes; }

// A registry key that can be opened below `parent` (or HKLM) for reading; a
// failure other than its absence is logged.
bool keyExists(const Session& session, const platform::RegKey* parent, std::string_view name, const char* subKey,
               platform::RegKey& key)
{
    const platform::Status status = platform::regOpenKey(parent, subKey, platform::kKeyRead, key);
    if (status != platform::kSuccess && status != platform::kFileNotFound)
        logFailed(session, status, "open registry key ", registryKeyName(name));
    return status == platform::kSuccess;
}

// Creo Parametric 2.0 registered in either registry view. Only a test for
// the keys, so read access is all it asks for.
bool isCreo2Registered(const Session& session)
{
    bool found = false;
    for (const char* parentKey : {kCreoKey, kCreoKey32}) {
        platform::RegKey parent;
        platform::RegKey release;
        if (keyExists(session, nullptr, parentKey, parentKey, parent) &&
            keyExists(session, &parent, concat(parentKey, "\\2.0"), "2.0", release))
            found = true;
    }
    return found;
}

// The release that the installation log's RELEASE line names.
ReleaseCode classifyReleaseLine(std::string_view line)
{
    struct Rule {
        const char* text;
        ReleaseCode code;
    };
    static constexpr Rule kRules[] = {
        {"1.0", kCreo1},
        {"Wildfire 5.0", kWildfire5},
        {"5.0", kOtherRelease5},
        {"Wildfire 4.0", kWildfire4},
        {"Wildfire 3.0", kWildfire3},
        {"Wildfire 2.0", kWildfire2},
        {"Wildfire", kWildfire1},
    };
    for (const Rule& rule : kRules)
        if (line.find(rule.text) != std::string_view::npos) return rule.code;
    return kNotRecognised;
}

// The first RELEASE line of the log, read in pieces of at most 259
// characters; 0 when there is none. `how` tells the log why.
ReleaseCode releaseFromLog(const Session& session, const PathBuffer& logPath, std::string& how)
{
    platform::TextStream log = platform::TextStream::open(logPath.c_str(), "r");
    if (!log) {
        logFailed(session, platform::lastError(), "open ", escaped(logPath.view()));
        how = "its installation log cannot be read";
        return kNotRecognised;
    }
    PathBuffer piece;
    while (log.getLine(piece.data(), static_cast<int>(PathBuffer::capacity))) {
        piece.terminate();
        if (piece.view().find("RELEASE") == std::string_view::npos) continue;
        std::string_view line = piece.view();
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        how = concat("its installation log's RELEASE line ", shown(line));
        return classifyReleaseLine(piece.view());
    }
    if (log.hadError()) logFailed(session, platform::lastError(), "read ", escaped(logPath.view()));
    how = "its installation log has no RELEASE line";
    return kNotRecognised;
}

// One whole line of any length, without its line end; false at the end of
// the file or on a read error with nothing read.
bool readWholeLine(platform::TextStream& stream, std::string& line)
{
    line.clear();
    PathBuffer piece;
    bool gotAny = false;
    // A NUL byte in the log would hide the rest of the piece, its line end
    // too, from strlen. The reader writes only what it read and one
    // terminator, so over a buffer without zeros the last zero ends the piece.
    constexpr char kNoZero = 0x7F;
    std::memset(piece.data(), kNoZero, PathBuffer::capacity);
    while (stream.getLine(piece.data(), static_cast<int>(PathBuffer::capacity))) {
        std::size_t length = PathBuffer::capacity - 1;
        while (length > 0 && piece.data()[length] != '\0') --length;
        gotAny = true;
        line.append(piece.data(), length);
        std::memset(piece.data(), kNoZero, PathBuffer::capacity);
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
            return true;
        }
    }
    return gotAny;
}

// The value of `keyword="value"`: it starts two characters after the keyword
// and runs to the next quotation mark or the end of the line. False when the
// keyword is not in the line.
bool keyedValue(std::string_view line, std::string_view keyword, std::string& value)
{
    const std::size_t at = line.find(keyword);
    if (at == std::string_view::npos) return false;
    value.clear();
    const std::size_t start = at + keyword.size() + 2;
    if (start >= line.size()) return true;
    const std::size_t end = line.find('"', start);
    value = line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    return true;
}

}  // namespace

ReleaseCode ReleaseIdentifier::identify(std::string_view folder)
{
    std::string how;
    const ReleaseCode code = identify(folder, how);
    session_.log(concat(shown(folder), " is ", releaseName(code), ": ", how));
    return code;
}

ReleaseCode ReleaseIdentifier::identify(std::string_view folder, std::string& how)
{
    const HostFolder host = HostFolder::stripped(folder);
    PathBuffer logPath;
    PathBuffer descriptorPath;
    if (!host) {
        how = folder.empty() ? "no folder is named" : "it names no folder of at most 259 characters";
        return kNotRecognised;
    }
    if (!host.path(kInstallLog, logPath) || !host.path(kDescriptor, descriptorPath)) {
        how = "its paths do not fit 259 characters";
        return kNotRecognised;
    }
    if (pathExists(descriptorPath)) {
        how = concat("it has the release descriptor ", kDescriptor);
        if (!descriptor_.descriptorVersion.empty()) return kCreo2;
        if (readReleaseDescriptor(session_, descriptorPath.c_str(), descriptor_)) return kCreo2;
        how += ", which does not load";
        return kNotRecognised;
    }
    if (!pathExists(logPath)) {
        const bool creo2 = isCreo2Registered(session_);
        how = concat("it has neither ", kInstallLog, " nor a release descriptor, and Creo Parametric 2.0 is ",
                     creo2 ? "" : "not ", "registered");
        return creo2 ? kCreo2 : kNotRecognised;
    }
    return releaseFromLog(session_, logPath, how);
}

std::string releaseName(ReleaseCode code)
{
    if (code == kOtherRelease5) return "a release 5.0 other than Wildfire 5.0";
    const ReleaseSlot* slot = releaseSlotOf(code);
    return slot != nullptr ? slot->release : "no known release";
}

void ReleaseIdentifier::readInstallLog(std::string_view folder, std::string& release, std::string& shipcode,
                                       std::string& datecode) const
{
    PathBuffer logPath;
    if (!HostFolder::stripped(folder).path(kInstallLog, logPath) || !pathExists(logPath)) {
        // No log: the release text of a Creo Parametric 2.0 installation, and
        // what its descriptor gave.
        release = "2.0 ";
        shipcode = descriptor_.descriptorShipcode;
        datecode = descriptor_.descriptorDatecode;
        return;
    }

    platform::TextStream log = platform::TextStream::open(logPath.c_str(), "r");
    if (!log) {
        logFailed(session_, platform::lastError(), "open ", escaped(logPath.view()));
        return;
    }
    std::string line;
    std::string value;
    while (readWholeLine(log, line)) {
        if (keyedValue(line, "RELEASE", value)) {
            // The log of Wildfire 1.0 names its release without a number.
            if (value == "Wildfire") value += " 1.0 ";
            release = value;
        }
        if (keyedValue(line, "DATECODE", value)) datecode = value;
        if (keyedValue(line, "SHIPCODE", value)) shipcode = value;
    }
    if (log.hadError()) logFailed(session_, platform::lastError(), "read ", escaped(logPath.view()));
}

std::string browsedInstallationLabel(Family family, const std::string& release, const std::string& shipcode,
                                     const std::string& datecode)
{
    const char* prefix = family == Family::creoParametric ? "Creo Parametric " : "Pro/ENGINEER ";
    return prefix + release + "[(Datecode: " + (shipcode.empty() ? datecode : shipcode) + ")] ";
}

}  // namespace ca

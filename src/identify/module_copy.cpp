// copyProeDllToMoreInstall: puts the add-in module into the browsed slot's
// installation.
#include "identify/module_copy.h"

#include "core/boundary.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/release_table.h"
#include "identify/release_identification.h"
#include "platform/files.h"

#include <cstdlib>

namespace ca {
namespace {

constexpr const char* kModuleName = "orvbridge.dll";

// The staging folder property that holds the module build for a release.
// This table is the module's own: codes 7 and 8 take the Creo builds here.
const char* moduleSourceProperty(ReleaseCode code)
{
    switch (code) {
        case kWildfire1:
        case kWildfire2: return "ALLUSERSPROFILE";
        case kWildfire3: return "PROEWF3TEMP";
        case kWildfire4: return "PROEWF4TEMP";
        case kWildfire5: return "PROEWF5TEMP";
        case kOtherRelease5: return "CREO1TEMP";
        case kCreo1:
        case kCreo2: return "CREO2TEMP";
        default: return "PROEWF5TEMP";  // only a command-line PROEM1VER gets here
    }
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lowerAscii(text[i]) != lowerAscii(prefix[i])) return false;
    return true;
}

// The release of the folder: from PROEM1VER on a command-line installation
// (where the folder must be PROEM1DIR), else from the folder's own files.
ReleaseCode releaseOfFolder(platform::MsiHandle session, const PathBuffer& folder)
{
    if (!propertyEquals(session, "ISCMDINSTALL", "1")) return identifyRelease(folder.c_str());
    PathBuffer browsedFolder;
    readProperty(session, kBrowsedFolderProperty, browsedFolder);
    PathBuffer given = folder;
    stripTrailingSeparator(given);
    stripTrailingSeparator(browsedFolder);
    if (!startsWithIgnoringCase(browsedFolder.view(), given.view())) return kNotRecognised;
    PathBuffer version;
    readProperty(session, kBrowsedVersionProperty, version);
    return std::atoi(version.c_str());
}

unsigned copyProeDllToMoreInstallBody(platform::MsiHandle session)
{
    PathBuffer folder;
    readProperty(session, kBrowsedFolderProperty, folder);
    if (folder.empty() || !propertyEquals(session, kBrowsedSlot, "1")) return 0;
    copyModuleToBrowsedInstallation(session, folder.c_str());
    return 0;
}

}  // namespace

bool copyModuleToBrowsedInstallation(platform::MsiHandle session, const char* folder)
{
    PathBuffer given;
    if (!given.assign(folder)) return false;
    const ReleaseCode code = releaseOfFolder(session, given);
    if (code == kNotRecognised) return false;

    PathBuffer objectFolder;
    if (!hostPath(given.c_str(), "\\x86e_win64\\obj", objectFolder)) return false;
    PathBuffer sourceFolder;
    readProperty(session, moduleSourceProperty(code), sourceFolder);
    if (sourceFolder.empty()) return false;

    PathBuffer source;
    PathBuffer target;
    if (!hostPath(sourceFolder.c_str(), "\\", source) || !source.append(kModuleName)) return false;
    if (!hostPath(objectFolder.c_str(), "\\", target) || !target.append(kModuleName)) return false;
    return platform::copyFile(source.c_str(), target.c_str(), false);
}

}  // namespace ca

CA_EXPORT_ACTION(copyProeDllToMoreInstall, ca::copyProeDllToMoreInstallBody)

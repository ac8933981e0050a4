#include "deploy/runtime_staging.h"

#include "core/boundary.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/release_table.h"
#include "deploy/deployment.h"
#include "deploy/product_records.h"
#include "platform/files.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string_view>

namespace ca {
namespace {

// Copies one runtime folder from the staging area into the Wildfire 5.0 slot's
// object folder, on a command-line installation whose Wildfire 5.0 folder has
// no host executable.
void stageRuntime(platform::MsiHandle session, const char* runtimeFolder, std::initializer_list<const char*> files)
{
    PathBuffer commandLine;
    PathBuffer wildfire5Folder;
    PathBuffer wildfire5Chosen;
    readProperty(session, "ISCMDINSTALL", commandLine);
    readProperty(session, "PROEWF5DIR", wildfire5Folder);
    readProperty(session, "PROEWF5", wildfire5Chosen);
    if (commandLine != "1" || wildfire5Chosen != "1") return;

    PathBuffer source;
    PathBuffer target;
    if (!stagingFolder(source) || !source.appendAll("proeWF5", "\\", runtimeFolder, "\\")) return;
    if (!hostPath(wildfire5Folder.c_str(), "\\x86e_win64\\obj", target) || !target.appendAll("\\", runtimeFolder))
        return;
    if (hasHostExecutable(wildfire5Folder.c_str())) return;

    platform::makeDirectory(target.c_str());
    if (!target.append("\\")) return;
    for (const char* file : files) {
        PathBuffer from(source.view());
        PathBuffer to(target.view());
        if (from.append(file) && to.append(file)) platform::copyFile(from.c_str(), to.c_str(), false);
    }
}

bool equalsIgnoringCase(std::string_view value, std::string_view expected)
{
    return std::ranges::equal(value, expected, [](unsigned char a, unsigned char b) {
        return std::tolower(a) == std::tolower(b);
    });
}

unsigned copyCMDresourcetoUSASCIIBody(platform::MsiHandle session)
{
    PathBuffer value;
    readProperty(session, "PROEM1", value);
    if (equalsIgnoringCase(value.view(), "1")) return 0;

    // Without USASCIIM1 the source would be "resource" in the current folder.
    PathBuffer source;
    readProperty(session, "USASCIIM1", value);
    const bool haveSource = !value.empty() && source.appendAll(value.view(), "resource");

    const Slot order[] = {Slot::creo1, Slot::creo2, Slot::proeWf5, Slot::proeWf4,
                          Slot::proeWf3, Slot::proeWf2, Slot::proeWf1};
    for (const Slot slot : order) {
        PathBuffer folder;
        readProperty(session, releaseSlot(slot).folderProperty, folder);
        if (folder.empty() || !haveSource) continue;
        stripTrailingSeparator(folder);
        copyResourceFolder(source.c_str(), folder.c_str());
    }
    writeReleaseFolderRecords(session);
    return 0;
}

}  // namespace

unsigned stageCrtRuntime(platform::MsiHandle session)
{
    writeReleaseFolderRecords(session);
    stageRuntime(session, "Microsoft.VC90.CRT", {"msvcr90.dll", "msvcp90.dll", "Microsoft.VC90.CRT.manifest"});
    return 0;
}

unsigned stageMfcRuntime(platform::MsiHandle session)
{
    stageRuntime(session, "Microsoft.VC90.MFC", {"mfc90.dll", "Microsoft.VC90.MFC.manifest"});
    return 0;
}

}  // namespace ca

CA_EXPORT_ACTION(copyCMDresourcetoUSASCII, ca::copyCMDresourcetoUSASCIIBody)

// clearTempCommon finishes the deployment and empties the staging area;
// cleanCmdResources and cleanupDependancies clear, on removal, what the
// runtime staging and the resource copy put into the recorded release folders.
#include "core/boundary.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/release_table.h"
#include "deploy/deployment.h"
#include "deploy/product_records.h"
#include "deploy/runtime_staging.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "removal/tree_removal.h"

#include <array>
#include <string_view>

namespace ca {
namespace {

enum class Cleanup {
    file,          // delete A + name
    emptyFolder,   // remove A + name when it is empty
    folderFiles,   // emptyAndRemoveFolder(A + name)
    resourceTree,  // removeResourceTree(A + "\", name)
};

struct CleanupStep {
    Cleanup kind;
    const char* name;
};

// The staging area's contents, in the order they are cleared. "creo2" and the
// runtime folders under "proeWF5" are not listed and stay.
constexpr CleanupStep kStagingCleanup[] = {
    {Cleanup::file, "\\OvConnector.dll"},
    {Cleanup::file, "\\optdialog.dll"},
    {Cleanup::file, "\\libpng13.dll"},
    {Cleanup::file, "\\OvToExe.exe"},
    {Cleanup::file, "\\sheetbridge2.dll"},
    {Cleanup::file, "\\ovbatch.dll"},
    {Cleanup::file, "\\siteext.dll"},
    {Cleanup::file, "\\OrvellaHelp.chm"},
    {Cleanup::file, "\\orvbridge.dll"},
    {Cleanup::file, "\\msvcr90.dll"},
    {Cleanup::file, "\\msvcp80.dll"},
    {Cleanup::file, "\\Microsoft.VC90.CRT.manifest"},
    {Cleanup::file, "\\proeWF3\\orvbridge.dll"},
    {Cleanup::emptyFolder, "\\proeWF3"},
    {Cleanup::file, "\\proeWF4\\orvbridge.dll"},
    {Cleanup::emptyFolder, "\\proeWF4"},
    {Cleanup::file, "\\proeWF5\\orvbridge.dll"},
    {Cleanup::file, "\\proeWF5\\optdialog.dll"},
    {Cleanup::file, "\\proeWF5\\sheetbridge2.dll"},
    {Cleanup::file, "\\proeWF5\\ovbatch.dll"},
    {Cleanup::file, "\\proeWF5\\OvConnector.dll"},
    {Cleanup::file, "\\creo1\\orvbridge.dll"},
    {Cleanup::file, "\\creo1\\OrvellaMenu.rbn"},
    {Cleanup::file, "\\msvcp100.dll"},
    {Cleanup::file, "\\msvcr100.dll"},
    {Cleanup::file, "\\mfc100.dll"},
    {Cleanup::emptyFolder, "\\Microsoft.VC100"},
    {Cleanup::file, "\\msvcp90.dll"},
    {Cleanup::emptyFolder, "\\Microsoft.VC90.CRT"},
    {Cleanup::file, "\\mfc90.dll"},
    {Cleanup::file, "\\Microsoft.VC90.MFC.manifest"},
    {Cleanup::emptyFolder, "\\Microsoft.VC90.MFC"},
    {Cleanup::file, "\\mfc80.dll"},
    {Cleanup::file, "\\mfc80u.dll"},
    {Cleanup::file, "\\msvcr80.dll"},
    {Cleanup::file, "\\mfc90u.dll"},
    {Cleanup::file, "\\mfcm90.dll"},
    {Cleanup::file, "\\mfcm90u.dll"},
    {Cleanup::file, "\\msvcm90.dll"},
    {Cleanup::resourceTree, "\\french"},
    {Cleanup::resourceTree, "\\german"},
    {Cleanup::resourceTree, "\\japanese"},
    {Cleanup::folderFiles, "\\text\\resource"},
    {Cleanup::folderFiles, "\\text\\french"},
    {Cleanup::folderFiles, "\\text\\german"},
    {Cleanup::folderFiles, "\\text\\japanese"},
    {Cleanup::folderFiles, "\\text\\usascii"},
    {Cleanup::emptyFolder, "\\text"},
    {Cleanup::folderFiles, "\\x86e_win64\\obj\\Lang"},
    {Cleanup::folderFiles, "\\x86e_win64\\obj"},
    {Cleanup::folderFiles, "\\x86e_win64"},
    {Cleanup::emptyFolder, "\\proeWF5"},
    {Cleanup::emptyFolder, "\\creo1"},
};

void clearStagingArea(const PathBuffer& staging)
{
    PathBuffer withSeparator;
    if (!withSeparator.appendAll(staging.view(), "\\")) return;
    for (const CleanupStep& step : kStagingCleanup) {
        if (step.kind == Cleanup::resourceTree) {
            removeResourceTree(withSeparator.c_str(), step.name);
            continue;
        }
        PathBuffer path;
        if (!path.appendAll(staging.view(), std::string_view(step.name))) continue;
        switch (step.kind) {
        case Cleanup::file: platform::deleteFile(path.c_str()); break;
        case Cleanup::emptyFolder: platform::removeDirectory(path.c_str()); break;
        case Cleanup::folderFiles: emptyAndRemoveFolder(path.c_str()); break;
        case Cleanup::resourceTree: break;
        }
    }
}

unsigned clearTempCommonBody(platform::MsiHandle session)
{
    stageMfcRuntime(session);
    stageCrtRuntime(session);
    deploySelectedCustomInstalls(session);

    PathBuffer staging;
    readProperty(session, "ALLUSERSPROFILE", staging);
    stripTrailingSeparator(staging);
    // An empty staging area names no folder: nothing at the drive's root goes.
    if (!staging.empty()) clearStagingArea(staging);
    return 0;
}

unsigned cleanCmdResourcesBody(platform::MsiHandle)
{
    platform::RegKey key;
    if (platform::regOpenKey(nullptr, kProductKey, platform::kKeyQueryValue, key) != platform::kSuccess) return 0;
    const Slot order[] = {Slot::creo1, Slot::creo2, Slot::proeWf5, Slot::proeWf4,
                          Slot::proeWf3, Slot::proeWf2, Slot::proeWf1};
    for (const Slot slot : order) {
        PathBuffer folder;
        // A slot never detected is recorded empty; it names no folder.
        if (readProductRecord(key, releaseSlot(slot).productRecordValue, folder) && !folder.empty())
            removeResourceTree(folder.c_str(), "");
    }
    return 0;
}

// Removes the runtime folders that staging put into the recorded Wildfire 5.0
// folder; 1 once that removal ran.
unsigned cleanupDependanciesBody(platform::MsiHandle)
{
    PathBuffer wildfire5Folder;
    {
        platform::RegKey key;
        if (platform::regOpenKey(nullptr, kProductKey, platform::kKeyQueryValue, key) != platform::kSuccess) return 0;
        if (!readProductRecord(key, releaseSlot(Slot::proeWf5).productRecordValue, wildfire5Folder)) return 0;
    }
    if (wildfire5Folder.empty() || hasHostExecutable(wildfire5Folder.c_str())) return 0;

    const std::string_view w = wildfire5Folder.view();
    struct RuntimeFolder {
        const char* name;
        std::array<const char*, 3> files;
    };
    constexpr RuntimeFolder kRuntimeFolders[] = {
        {"Microsoft.VC90.CRT", {"\\Microsoft.VC90.CRT.manifest", "\\msvcp90.dll", "\\msvcr90.dll"}},
        {"Microsoft.VC100", {"\\msvcp100.dll", "\\msvcr100.dll", "\\mfc100.dll"}},
        {"Microsoft.VC90.MFC", {"\\mfc90.dll", "\\Microsoft.VC90.MFC.manifest", nullptr}},
    };
    for (const RuntimeFolder& runtime : kRuntimeFolders) {
        PathBuffer folder;
        if (!folder.appendAll(w, "x86e_win64\\obj\\", std::string_view(runtime.name))) continue;
        for (const char* file : runtime.files) {
            PathBuffer path(folder.view());
            if (file != nullptr && path.append(file)) platform::deleteFile(path.c_str());
        }
        platform::removeDirectory(folder.c_str());
    }
    PathBuffer path;
    if (path.appendAll(w, "x86e_win64\\", "obj")) platform::removeDirectory(path.c_str());
    if (path.assign(w) && path.append("x86e_win64")) platform::removeDirectory(path.c_str());
    platform::removeDirectory(wildfire5Folder.c_str());
    return 1;
}

}  // namespace
}  // namespace ca

CA_EXPORT_ACTION(clearTempCommon, ca::clearTempCommonBody)
CA_EXPORT_ACTION(cleanCmdResources, ca::cleanCmdResourcesBody)
CA_EXPORT_ACTION(cleanupDependancies, ca::cleanupDependanciesBody)

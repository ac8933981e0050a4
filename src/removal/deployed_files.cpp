#include "removal/deployed_files.h"

#include "core/fixed_string.h"
#include "platform/files.h"
#include "registration/registration_file.h"
#include "removal/tree_removal.h"

#include <array>
#include <string_view>

namespace ca {
namespace {

// O = H + "\x86e_win64\obj\", B = H + "\", or H itself.
enum class Base { object, withSeparator, host };

enum class Action {
    deleteFile,
    removeEmptyFolder,
    removeResourceTree,  // removeResourceTree(B, path)
    unregister,          // removeAuxAppEntry(B)
};

struct RemovalStep {
    Action action;
    Base base;
    const char* path;
};

constexpr RemovalStep fromObject(const char* name) { return {Action::deleteFile, Base::object, name}; }
constexpr RemovalStep fromHost(const char* path) { return {Action::deleteFile, Base::host, path}; }

// The mirror of the deployment steps. The module and the ribbon file go under
// their target names whatever the release: deleting what is not there is harmless.
constexpr std::array<RemovalStep, 36> kRemovalSteps{{
    fromObject("OvConnector.dll"),
    fromObject("optdialog.dll"),
    fromObject("sheetbridge2.dll"),
    fromObject("ovbatch.dll"),
    fromObject("libpng13.dll"),
    fromObject("OvToExe.exe"),
    fromObject("orvbridge.dll"),
    fromObject("siteext.dll"),
    fromObject("mfc90.dll"),
    fromObject("Microsoft.VC90.MFC.manifest"),
    fromObject("Microsoft.VC90.CRT.manifest"),
    fromObject("msvcp90.dll"),
    fromObject("msvcr90.dll"),
    fromObject("mfc100.dll"),
    fromObject("msvcp100.dll"),
    fromObject("msvcr100.dll"),
    fromObject("Lang\\orvbridgeResEng.dll"),
    fromObject("Lang\\orvbridgeResJap.dll"),
    fromObject("Lang\\orvbridgeResFre.dll"),
    fromObject("Lang\\orvbridgeResGer.dll"),
    fromObject("Lang\\ovbatchresGer.dll"),
    fromObject("Lang\\ovbatchresEng.dll"),
    fromObject("Lang\\ovbatchresFre.dll"),
    fromObject("Lang\\ovbatchresJap.dll"),
    fromObject("Lang\\OrvellaHelp.chm"),
    {Action::removeEmptyFolder, Base::object, "Lang"},
    fromHost("\\text\\usascii\\ov_messages.txt"),
    fromHost("\\text\\japanese\\ov_messages.txt"),
    fromHost("\\text\\german\\ov_messages.txt"),
    fromHost("\\text\\french\\ov_messages.txt"),
    fromHost("\\text\\ribbon\\OrvellaMenu.rbn"),
    {Action::removeResourceTree, Base::withSeparator, ""},
    {Action::unregister, Base::withSeparator, ""},
    {Action::removeResourceTree, Base::withSeparator, "\\german"},
    {Action::removeResourceTree, Base::withSeparator, "\\japanese"},
    {Action::removeResourceTree, Base::withSeparator, "\\french"},
}};

}  // namespace

bool removeDeployedFiles(std::string folder)
{
    // An empty recorded folder names no installation.
    if (folder.empty()) return true;
    PathBuffer object;
    PathBuffer withSeparator;
    if (!object.appendAll(std::string_view(folder), "\\x86e_win64\\obj", "\\") ||
        !withSeparator.appendAll(std::string_view(folder), "\\"))
        return true;

    for (const RemovalStep& step : kRemovalSteps) {
        const std::string_view base = step.base == Base::object          ? object.view()
                                      : step.base == Base::withSeparator ? withSeparator.view()
                                                                         : std::string_view(folder);
        PathBuffer path;
        switch (step.action) {
        case Action::deleteFile:
            if (path.appendAll(base, std::string_view(step.path))) platform::deleteFile(path.c_str());
            break;
        case Action::removeEmptyFolder:
            if (path.appendAll(base, std::string_view(step.path))) platform::removeDirectory(path.c_str());
            break;
        case Action::removeResourceTree: removeResourceTree(withSeparator.c_str(), step.path); break;
        case Action::unregister: removeAuxAppEntry(withSeparator.c_str()); break;
        }
    }
    return true;
}

}  // namespace ca

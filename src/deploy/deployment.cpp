#include "deploy/deployment.h"

#include "core/paths.h"
#include "core/properties.h"
#include "core/state.h"
#include "deploy/product_records.h"
#include "deploy/working_directory.h"
#include "identify/release_identification.h"
#include "platform/files.h"
#include "registration/registration_file.h"
#include "selection/custom_install_list.h"

#include <array>

namespace ca {
namespace {

// Where a path of a deployment step starts: the staging area S, the host's
// object folder O = H + "\x86e_win64\obj\", or the host folder H itself.
enum class Base { staging, object, host };

enum class Action {
    copy,                // base + path -> base + path
    copyRibbon,          // the release's ribbon file (Creo Parametric only)
    copyModule,          // the release's module
    makeFolder,          // create base + path
    copyResources,       // copyResourceFolder from S + path into H
    languageResources,   // create H + path and its "\resource", copy S + "text" + lang + "\resource" into it
    registerAddIn,       // the registration entry in H's protk.dat
};

struct DeployStep {
    Action action;
    Base fromBase;
    const char* from;
    Base toBase;
    const char* to;
};

constexpr DeployStep copyToObject(const char* name) { return {Action::copy, Base::staging, name, Base::object, name}; }
constexpr DeployStep copyIntoObject(const char* from, const char* to)
{
    return {Action::copy, Base::staging, from, Base::object, to};
}

constexpr std::array<DeployStep, 36> kDeploySteps{{
    copyToObject("OvConnector.dll"),
    copyToObject("optdialog.dll"),
    copyToObject("sheetbridge2.dll"),
    copyToObject("ovbatch.dll"),
    copyToObject("siteext.dll"),
    {Action::copyRibbon, Base::staging, "", Base::host, "\\text\\ribbon\\OrvellaMenu.rbn"},
    {Action::copyModule, Base::staging, "", Base::object, "orvbridge.dll"},
    copyToObject("libpng13.dll"),
    copyToObject("OvToExe.exe"),
    copyToObject("mfc90.dll"),
    copyToObject("Microsoft.VC90.MFC.manifest"),
    copyToObject("Microsoft.VC90.CRT.manifest"),
    copyToObject("msvcp90.dll"),
    copyToObject("msvcr90.dll"),
    copyIntoObject("proeWF5\\Microsoft.VC100\\mfc100.dll", "mfc100.dll"),
    copyIntoObject("proeWF5\\Microsoft.VC100\\msvcp100.dll", "msvcp100.dll"),
    copyIntoObject("proeWF5\\Microsoft.VC100\\msvcr100.dll", "msvcr100.dll"),
    {Action::makeFolder, Base::object, "", Base::object, "Lang\\"},
    copyIntoObject("x86e_win64\\obj\\Lang\\orvbridgeResEng.dll", "Lang\\orvbridgeResEng.dll"),
    copyIntoObject("x86e_win64\\obj\\Lang\\orvbridgeResGer.dll", "Lang\\orvbridgeResGer.dll"),
    copyIntoObject("x86e_win64\\obj\\Lang\\orvbridgeResFre.dll", "Lang\\orvbridgeResFre.dll"),
    copyIntoObject("x86e_win64\\obj\\Lang\\orvbridgeResJap.dll", "Lang\\orvbridgeResJap.dll"),
    copyIntoObject("x86e_win64\\obj\\Lang\\ovbatchresEng.dll", "Lang\\ovbatchresEng.dll"),
    copyIntoObject("x86e_win64\\obj\\Lang\\ovbatchresGer.dll", "Lang\\ovbatchresGer.dll"),
    copyIntoObject("x86e_win64\\obj\\Lang\\ovbatchresFre.dll", "Lang\\ovbatchresFre.dll"),
    copyIntoObject("x86e_win64\\obj\\Lang\\ovbatchresJap.dll", "Lang\\ovbatchresJap.dll"),
    copyIntoObject("x86e_win64\\obj\\Lang\\OrvellaHelp.chm", "Lang\\OrvellaHelp.chm"),
    {Action::copy, Base::staging, "text\\usascii\\ov_messages.txt", Base::host, "\\text\\usascii\\ov_messages.txt"},
    {Action::copyResources, Base::staging, "text\\resource", Base::host, ""},
    {Action::languageResources, Base::staging, "text\\japanese\\resource", Base::host, "\\text\\japanese"},
    {Action::copy, Base::staging, "text\\Japanese\\ov_messages.txt", Base::host, "\\text\\Japanese\\ov_messages.txt"},
    {Action::languageResources, Base::staging, "text\\french\\resource", Base::host, "\\text\\french"},
    {Action::copy, Base::staging, "text\\french\\ov_messages.txt", Base::host, "\\text\\french\\ov_messages.txt"},
    {Action::languageResources, Base::staging, "text\\german\\resource", Base::host, "\\text\\german"},
    {Action::copy, Base::staging, "text\\german\\ov_messages.txt", Base::host, "\\text\\german\\ov_messages.txt"},
    {Action::registerAddIn, Base::host, "", Base::host, ""},
}};

// The module built for each release, under the staging area; nullptr: none.
const char* moduleSource(ReleaseCode code)
{
    switch (code) {
    case kWildfire1:
    case kWildfire2: return "orvbridge.dll";
    case kWildfire3: return "proeWF3\\orvbridge.dll";
    case kWildfire4: return "proeWF4\\orvbridge.dll";
    case kWildfire5:
    case kOtherRelease5: return "proeWF5\\orvbridge.dll";
    case kCreo1: return "creo1\\orvbridge.dll";
    case kCreo2: return "creo2\\orvbridge.dll";
    default: return nullptr;
    }
}

const char* ribbonSource(ReleaseCode code)
{
    switch (code) {
    case kCreo1: return "creo1\\OrvellaMenu.rbn";
    case kCreo2: return "creo2\\OrvellaMenu.rbn";
    default: return nullptr;
    }
}

struct DeployFolders {
    PathBuffer staging;  // S, ends in "\"
    PathBuffer object;   // O, ends in "\"
    const std::string& host;

    const char* base(Base b) const
    {
        switch (b) {
        case Base::staging: return staging.c_str();
        case Base::object: return object.c_str();
        case Base::host: break;
        }
        return host.c_str();
    }
};

// base + tail, or false when it would not fit: that step is then left out.
bool join(const char* base, const char* tail, PathBuffer& path)
{
    path.clear();
    return path.appendAll(std::string_view(base), std::string_view(tail));
}

void runStep(const DeployStep& step, const DeployFolders& folders, ReleaseCode code)
{
    PathBuffer from;
    PathBuffer to;
    switch (step.action) {
    case Action::copy:
        if (join(folders.base(step.fromBase), step.from, from) && join(folders.base(step.toBase), step.to, to))
            platform::copyFile(from.c_str(), to.c_str(), false);
        return;
    case Action::copyRibbon:
    case Action::copyModule: {
        const char* source = step.action == Action::copyRibbon ? ribbonSource(code) : moduleSource(code);
        if (source != nullptr && join(folders.staging.c_str(), source, from) &&
            join(folders.base(step.toBase), step.to, to))
            platform::copyFile(from.c_str(), to.c_str(), false);
        return;
    }
    case Action::makeFolder:
        if (join(folders.base(step.toBase), step.to, to)) platform::makeDirectory(to.c_str());
        return;
    case Action::copyResources:
        if (join(folders.staging.c_str(), step.from, from)) copyResourceFolder(from.c_str(), folders.host.c_str());
        return;
    case Action::languageResources: {
        PathBuffer resources;
        if (!join(folders.host.c_str(), step.to, to) || !join(to.c_str(), "\\resource", resources)) return;
        platform::makeDirectory(to.c_str());
        platform::makeDirectory(resources.c_str());
        if (join(folders.staging.c_str(), step.from, from)) copyFileSet(from.str(), resources.str());
        return;
    }
    case Action::registerAddIn: {
        // Registration reads the folder from a buffer of its own.
        FixedString<1024> folder;
        if (folder.assign(folders.host)) addAuxAppEntry(folder.c_str());
        return;
    }
    }
}

}  // namespace

bool stagingFolder(PathBuffer& folder)
{
    folder.clear();
    std::string value;
    if (!platform::getEnvironmentVariable("ALLUSERSPROFILE", value) || value.empty()) return false;
    if (folder.appendAll(std::string_view(value), "\\")) return true;
    folder.clear();
    return false;
}

bool deployToInstallation(std::string folder, ReleaseCode code)
{
    // Without a host folder or a staging area there is nothing to copy from or to;
    // an empty text would name the root of the current drive.
    DeployFolders folders{{}, {}, folder};
    if (folder.empty() || !stagingFolder(folders.staging)) return true;
    if (!folders.object.appendAll(std::string_view(folder), "\\x86e_win64\\obj", "\\")) return true;
    for (const DeployStep& step : kDeploySteps) runStep(step, folders, code);
    return true;
}

unsigned deploySelectedCustomInstalls(platform::MsiHandle session)
{
    visitListedInstallations(session, [](const CustomInstallEntry&, const PathBuffer& folder, bool chosen) {
        if (chosen && !folder.empty()) deployToInstallation(folder.str(), identifyRelease(folder.c_str()));
        return true;
    });
    writeCustomFolderRecords(session);
    return 0;
}

bool copyFileSet(std::string source, std::string destination)
{
    if (source.empty() || destination.empty()) return false;
    PathBuffer pattern;
    if (!pattern.appendAll(std::string_view(source), "\\*")) return false;
    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first(pattern.c_str(), entry);
    if (!listing) return false;
    for (;;) {
        if (!entry.isDirectory) {
            PathBuffer from;
            PathBuffer to;
            if (from.appendAll(std::string_view(source), "\\", std::string_view(entry.name)) &&
                to.appendAll(std::string_view(destination), "\\", std::string_view(entry.name)))
                platform::copyFile(from.c_str(), to.c_str(), false);
        }
        const platform::Status status = listing.next(entry);
        if (status == platform::kNoMoreFiles) return true;
        if (status != platform::kSuccess) return false;
    }
}

int copyResourceFolder(const char* source, const char* host)
{
    constexpr int kFailed = 3;
    if (source == nullptr || host == nullptr || *source == '\0' || *host == '\0') return kFailed;
    PathBuffer target;
    if (!target.appendAll(std::string_view(host), "\\text\\usascii\\resource")) return kFailed;

    SavedWorkingDirectory workingDirectory;
    if (!workingDirectory.saved()) return kFailed;
    const int made = platform::makeDirectory(target.c_str());
    if (made != 0 && made != platform::kErrnoExists) return kFailed;
    if (!workingDirectory.enter(source)) return kFailed;

    platform::DirEntry entry;
    platform::Listing listing = platform::Listing::first("*.*", entry);
    for (bool more = static_cast<bool>(listing); more; more = listing.next(entry) == platform::kSuccess) {
        if (entry.isDirectory) continue;
        PathBuffer from;
        PathBuffer to;
        if (from.appendAll(std::string_view(source), "\\", std::string_view(entry.name)) &&
            to.appendAll(target.view(), "\\", std::string_view(entry.name)))
            platform::copyFile(from.c_str(), to.c_str(), false);
    }
    listing.close();
    return workingDirectory.restore() ? 0 : kFailed;
}

}  // namespace ca

#include "model/manifest.h"

#include "model/host_folder.h"

#include <array>

namespace ca {
namespace {

using namespace std::string_view_literals;

constexpr Place staged(std::string_view path) { return {Root::staging, path}; }
constexpr Place stagedObject(std::string_view path) { return {Root::stagedObjects, path}; }
constexpr Place host(std::string_view path) { return {Root::host, path}; }
constexpr Place object(std::string_view path) { return {Root::hostObjects, path}; }
constexpr Place nowhere() { return {Root::host, ""}; }

// A staged file that lands under the same name in the host's object folder.
constexpr ManifestEntry toObjects(std::string_view name) { return {Item::file, staged(name), object(name)}; }
// Such a file that a host may ship too.
constexpr ManifestEntry sharedToObjects(std::string_view name)
{
    return {Item::file, staged(name), object(name), kAllReleases, Staging::cleared, Sharing::hostMayShip};
}
constexpr Place build(std::string_view path) { return {Root::releaseBuild, path}; }
// A runtime file that the package keeps in the staging area for itself.
constexpr ManifestEntry keptRuntime(std::string_view from, std::string_view name)
{
    return {Item::file, staged(from), object(name), kAllReleases, Staging::kept, Sharing::hostMayShip};
}
// A language file that keeps its place below the object folder.
constexpr ManifestEntry language(std::string_view path) { return {Item::file, stagedObject(path), object(path)}; }
constexpr ManifestEntry stagedOnly(std::string_view path) { return {Item::stagedOnly, staged(path), nowhere()}; }

constexpr std::array kManifest{
    toObjects("OvConnector.dll"),
    toObjects("optdialog.dll"),
    toObjects("sheetbridge2.dll"),
    toObjects("ovbatch.dll"),
    toObjects("siteext.dll"),
    // The ribbon (Creo Parametric only) lands where the host keeps its ribbons; that folder is the host's.
    ManifestEntry{Item::file, build("OrvellaMenu.rbn"), host("text\\ribbon\\OrvellaMenu.rbn"), releases({kCreo1, kCreo2}),
                  Staging::cleared, Sharing::addInOnly, Target::whereTheHostHasItsFolder},
    // The module, built per release; a folder of no known release gets none.
    ManifestEntry{Item::file, build(kModuleName), object(kModuleName)},
    sharedToObjects("libpng13.dll"),
    toObjects("OvToExe.exe"),
    // The version 9.0 runtime from the staging area itself, 10.0 from its "proeWF5" folder.
    sharedToObjects("mfc90.dll"),
    sharedToObjects("Microsoft.VC90.MFC.manifest"),
    sharedToObjects("Microsoft.VC90.CRT.manifest"),
    sharedToObjects("msvcp90.dll"),
    sharedToObjects("msvcr90.dll"),
    keptRuntime("proeWF5\\Microsoft.VC100\\mfc100.dll", "mfc100.dll"),
    keptRuntime("proeWF5\\Microsoft.VC100\\msvcp100.dll", "msvcp100.dll"),
    keptRuntime("proeWF5\\Microsoft.VC100\\msvcr100.dll", "msvcr100.dll"),
    ManifestEntry{Item::folder, nowhere(), object("Lang")},
    language("Lang\\orvbridgeResEng.dll"),
    language("Lang\\orvbridgeResGer.dll"),
    language("Lang\\orvbridgeResFre.dll"),
    language("Lang\\orvbridgeResJap.dll"),
    language("Lang\\ovbatchresEng.dll"),
    language("Lang\\ovbatchresGer.dll"),
    language("Lang\\ovbatchresFre.dll"),
    language("Lang\\ovbatchresJap.dll"),
    language("Lang\\OrvellaHelp.chm"),
    ManifestEntry{Item::file, staged("text\\usascii\\ov_messages.txt"), host("text\\usascii\\ov_messages.txt")},
    ManifestEntry{Item::folderFiles, staged("text\\resource"), host(kMessageResources)},
    // Each language: its folder, its resources, its messages (the Japanese
    // file is spelled with a capital J; names compare without case).
    ManifestEntry{Item::folder, nowhere(), host("text\\japanese")},
    ManifestEntry{Item::folderFiles, staged("text\\japanese\\resource"), host("text\\japanese\\resource")},
    ManifestEntry{Item::file, staged("text\\Japanese\\ov_messages.txt"), host("text\\Japanese\\ov_messages.txt")},
    ManifestEntry{Item::folder, nowhere(), host("text\\french")},
    ManifestEntry{Item::folderFiles, staged("text\\french\\resource"), host("text\\french\\resource")},
    ManifestEntry{Item::file, staged("text\\french\\ov_messages.txt"), host("text\\french\\ov_messages.txt")},
    ManifestEntry{Item::folder, nowhere(), host("text\\german")},
    ManifestEntry{Item::folderFiles, staged("text\\german\\resource"), host("text\\german\\resource")},
    ManifestEntry{Item::file, staged("text\\german\\ov_messages.txt"), host("text\\german\\ov_messages.txt")},
    // What the package may stage besides, for itself or from earlier layouts.
    stagedOnly("OrvellaHelp.chm"),
    stagedOnly("msvcp80.dll"),
    stagedOnly("proeWF5\\optdialog.dll"),
    stagedOnly("proeWF5\\sheetbridge2.dll"),
    stagedOnly("proeWF5\\ovbatch.dll"),
    stagedOnly("proeWF5\\OvConnector.dll"),
    stagedOnly("msvcp100.dll"),
    stagedOnly("msvcr100.dll"),
    stagedOnly("mfc100.dll"),
    stagedOnly("mfc80.dll"),
    stagedOnly("mfc80u.dll"),
    stagedOnly("msvcr80.dll"),
    stagedOnly("mfc90u.dll"),
    stagedOnly("mfcm90.dll"),
    stagedOnly("mfcm90u.dll"),
    stagedOnly("msvcm90.dll"),
};

constexpr std::array kStagedFolders{
    StagedFolder{staged("text\\french\\resource"), FolderCleanup::emptied},
    StagedFolder{staged("text\\german\\resource"), FolderCleanup::emptied},
    StagedFolder{staged("text\\japanese\\resource"), FolderCleanup::emptied},
    StagedFolder{staged("text\\resource"), FolderCleanup::emptied},
    StagedFolder{staged("text\\french"), FolderCleanup::emptied},
    StagedFolder{staged("text\\german"), FolderCleanup::emptied},
    StagedFolder{staged("text\\japanese"), FolderCleanup::emptied},
    StagedFolder{staged("text\\usascii"), FolderCleanup::emptied},
    StagedFolder{staged("text"), FolderCleanup::removedWhenEmpty},
    StagedFolder{stagedObject("Lang"), FolderCleanup::emptied},
    StagedFolder{stagedObject(""), FolderCleanup::emptied},
    StagedFolder{staged(kMachineFolder), FolderCleanup::emptied},
    StagedFolder{staged("Microsoft.VC100"), FolderCleanup::removedWhenEmpty},
    StagedFolder{staged("Microsoft.VC90.CRT"), FolderCleanup::removedWhenEmpty},
    StagedFolder{staged("Microsoft.VC90.MFC"), FolderCleanup::removedWhenEmpty},
};

constexpr std::array kCrtFiles{"msvcr90.dll"sv, "msvcp90.dll"sv, "Microsoft.VC90.CRT.manifest"sv};
constexpr std::array kMfcFiles{"mfc90.dll"sv, "Microsoft.VC90.MFC.manifest"sv};
constexpr std::array kVc100Files{"msvcp100.dll"sv, "msvcr100.dll"sv, "mfc100.dll"sv};

}  // namespace

const RuntimeFolder kCrtRuntime{"Microsoft.VC90.CRT", kCrtFiles};
const RuntimeFolder kMfcRuntime{"Microsoft.VC90.MFC", kMfcFiles};

Manifest addInManifest() { return kManifest; }

std::string placeBelowHost(const Place& place)
{
    std::string path = place.root == Root::hostObjects ? std::string(kObjectFolder) + "\\" : std::string();
    return path + std::string(place.path);
}
std::span<const StagedFolder> stagedFolders() { return kStagedFolders; }

std::span<const RuntimeFolder> privateRuntimeFolders()
{
    static const RuntimeFolder folders[] = {kCrtRuntime, {"Microsoft.VC100", kVc100Files}, kMfcRuntime};
    return folders;
}

}  // namespace ca

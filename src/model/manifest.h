// The one description of the add-in's files: where each waits in the staging
// area, where it lands in a host installation, for which releases, and what
// the staging cleanup does with it. Deployment walks it forwards; removal
// and the staging cleanup are derived from it.
#pragma once

#include "model/release_table.h"

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace ca {

// Where a manifest path starts: the staging area S, the staged object folder
// S\x86e_win64\obj, the staging folder of the build for the host's release
// (its slot's staging subfolder), the host folder H, or the host's object folder.
enum class Root { staging, stagedObjects, releaseBuild, host, hostObjects };

struct Place {
    Root root;
    std::string_view path;  // below the root; "" for none
};

enum class Item {
    file,         // a staged file, copied to its place in the host
    folder,       // a folder the deployment creates in the host
    folderFiles,  // every file of a staged folder, copied into a host folder that the deployment creates
    stagedOnly,   // a file the package may stage that no host receives; the staging cleanup deletes it
};

// What the staging cleanup does with a staged file: the package keeps some of
// the staging area for itself.
enum class Staging { cleared, kept };

// Whether a host may ship a file of the same name itself (the Microsoft
// runtimes, libpng): where no footprint tells, such a file is the host's.
enum class Sharing { addInOnly, hostMayShip };

// Whether a file goes into a host folder that must be there: a folder the
// host lacks is no failure, the file is then not for this host.
enum class Target { always, whereTheHostHasItsFolder };

// The releases an entry is for, as a set of release codes.
using Releases = unsigned;
inline constexpr Releases kAllReleases = ~0u;
constexpr Releases releases(std::initializer_list<ReleaseCode> codes)
{
    Releases set = 0;
    for (ReleaseCode code : codes) set |= 1u << code;
    return set;
}
constexpr bool includes(Releases set, ReleaseCode code) { return code >= 0 && code < 32 && (set >> code & 1u) != 0; }

struct ManifestEntry {
    Item item;
    Place staged;
    Place installed;
    Releases releases = kAllReleases;
    Staging staging = Staging::cleared;
    Sharing sharing = Sharing::addInOnly;
    Target target = Target::always;
};

// The add-in's files of one build, in deployment order: a folder comes before
// what goes into it. Passed to whoever walks it, so that a test can give
// another build's.
using Manifest = std::span<const ManifestEntry>;

// This build's manifest.
Manifest addInManifest();

// A place in a host, as a path below the host folder.
std::string placeBelowHost(const Place& place);

// What the staging cleanup does with a folder of the staging area.
enum class FolderCleanup {
    emptied,           // its files are deleted, then it is removed when empty
    removedWhenEmpty,  // only removed, and only when nothing is left in it
};
struct StagedFolder {
    Place place;  // in the staging area
    FolderCleanup cleanup;
};
// Deepest first, so that a folder is handled after what it holds. The
// release builds' folders are removed when empty after these; the package
// keeps the runtime under "proeWF5" for itself.
std::span<const StagedFolder> stagedFolders();

// The releases whose build the package keeps in the staging area.
inline constexpr Releases kKeptBuilds = 1u << kCreo2;

// The version 9.0 runtime that a Wildfire 5.0 folder without the host
// executable receives in its object folder, one folder each, from the
// staging area's "proeWF5" folder.
struct RuntimeFolder {
    std::string_view name;                   // the same below "proeWF5" and in the object folder
    std::span<const std::string_view> files;
};
extern const RuntimeFolder kCrtRuntime;
extern const RuntimeFolder kMfcRuntime;
// Every private runtime folder that removal may find in such a folder.
std::span<const RuntimeFolder> privateRuntimeFolders();

// The add-in's module, under the same name in every staging folder and host.
inline constexpr std::string_view kModuleName = "orvbridge.dll";

}  // namespace ca

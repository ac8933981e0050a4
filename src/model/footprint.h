// A host folder's footprint: what the add-in wrote into it, recorded before
// it wrote. Each item names a place below the host folder: a folder it
// created, a file it created, a host file it replaced (with where the host's
// copy waits), or its entry in protk.dat. Removal undoes exactly these.
//
// Each item belongs to the domain of the action that wrote it first, so that
// each removal action undoes its own. A file item keeps the digest of every
// content the add-in wrote there: a file that matches none of them is no
// longer the add-in's. A footprint may name more than was written (a write
// that failed, or never came); removal takes that in its stride.
#pragma once

#include "core/digest.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ca {

enum class Domain : char {
    deployment = 'd',    // the listed installations' files, the browsed host's module
    resources = 'r',     // text\usascii\resource of the release folders
    runtime = 'u',       // the private runtime of a Wildfire 5.0 folder without the host
    registration = 'e',  // the entry in protk.dat, and the file when the add-in created it
};

enum class Mark {
    folder,        // a folder the add-in created
    file,          // a file the add-in created
    replaced,      // a host file the add-in overwrote; `backup` holds the host's copy
    entry,         // the add-in's entry in protk.dat (place empty)
    registration,  // protk.dat itself, which the add-in created
};

struct FootprintItem {
    Mark mark = Mark::file;
    Domain domain = Domain::deployment;
    std::string place;                  // below the host folder, as the add-in names it
    // file, replaced: every content the add-in wrote there; none known for an
    // earlier version's file that a running host held when it was taken in,
    // and then whatever stands there is the add-in's.
    std::vector<ContentDigest> wrote;
    std::string backup;                 // replaced: the file's name in the footprint's backup folder

    bool isFile() const { return mark == Mark::file || mark == Mark::replaced; }
    bool holdsOurs(const ContentDigest& content) const;
};

class Footprint {
public:
    Footprint() = default;
    explicit Footprint(std::string host) : host_(std::move(host)) {}

    // The host folder as it was first named.
    const std::string& host() const { return host_; }
    // The folder that holds the backups of the host's files; "" until one is needed.
    const std::string& backups() const { return backups_; }
    void setBackups(std::string folder) { backups_ = std::move(folder); }
    // An earlier version of the add-in wrote here before footprints were kept:
    // what it wrote was taken into this footprint, and whose protk.dat is, is unknown.
    bool earlier() const { return earlier_; }
    void setEarlier() { earlier_ = true; }

    std::vector<FootprintItem>& items() { return items_; }
    const std::vector<FootprintItem>& items() const { return items_; }
    // The item for a place (compared without regard to case), or none.
    FootprintItem* find(Mark mark, std::string_view place);
    FootprintItem* findFile(std::string_view place);
    bool has(Mark mark) const;
    // Some item other than `folder` itself lies below it.
    bool holdsBelow(std::string_view folder) const;
    // A backup name not used by any item yet, after the file's own name.
    std::string newBackupName(std::string_view place) const;

    // The record's text, one string a line, and back; none for a text that
    // is not a footprint of this format.
    std::vector<std::string> lines() const;
    static std::optional<Footprint> parse(const std::vector<std::string>& lines);

private:
    std::string host_;
    std::string backups_;
    bool earlier_ = false;
    std::vector<FootprintItem> items_;
};

// The name of the record that holds a folder's footprint: the same for every
// spelling that names the folder with or without a trailing separator.
std::string footprintValueName(std::string_view folder);
inline constexpr std::string_view kFootprintValuePrefix = "Footprint ";

// The product's folders for the hosts' files it replaced, below ALLUSERSPROFILE:
// one folder per host in kBackupFolders.
inline constexpr std::string_view kBackupFolders = "Kestrane\\Orvella\\Backup";
inline constexpr std::string_view kVendorFolder = kBackupFolders.substr(0, kBackupFolders.find('\\'));

// A footprint's backup folder and the product's folders above it, innermost
// first: up to the vendor's folder, never the folder that holds that one. A
// footprint may name one of the upper folders alone, the one that could not
// go last time.
std::vector<std::string> backupFolderLevels(std::string_view folder);

}  // namespace ca

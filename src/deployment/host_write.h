// Writing into a host folder, ahead of time: what an action is about to
// create there, and each host file it is about to overwrite, goes into the
// host's footprint first, each such host file is copied into the product's
// backup folder, and only then is anything written. A crash in between leaves
// a footprint that names more than was written.
#pragma once

#include "core/digest.h"
#include "core/session.h"
#include "model/footprint.h"
#include "model/host_folder.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ca {

// The digests of staged files, each read once however many hosts receive it.
class SourceDigests {
public:
    // False, and logged, when the file cannot be read.
    bool of(const Session& session, const std::string& path, ContentDigest& digest);

private:
    std::map<std::string, ContentDigest> known_;
};

class HostWrite {
public:
    HostWrite(const Session& session, const HostFolder& host, Domain domain, SourceDigests& digests);

    // Creates the folder `place` (below the host folder) unless it is there.
    void folder(std::string_view place);
    // Copies the file at `source` to `place`, overwriting what is there.
    void copy(std::string_view source, std::string_view place);
    // Creates the folder `place` and copies every file (not the folders) of
    // `source` into it. False, and logged, when the source cannot be listed.
    bool copyFiles(std::string_view source, std::string_view place);
    // The add-in's entry in protk.dat, which the caller adds once this is
    // carried out; protk.dat with it when the add-in is about to create it.
    void entry();

    // Records, backs up, writes, and logs one line of what it did under
    // `what`. False when the host did not get everything: the failure is in
    // ORVELLA_INSTALL_ERROR. Nothing at all is written when the footprint
    // could not be read or recorded.
    bool carryOut(std::string_view what);

private:
    struct Step {
        enum class Kind { folder, copy, entry } kind = Kind::copy;
        std::string source{};  // a copy's source
        std::string place{};   // below the host folder
        ContentDigest digest{};  // what a copy writes
        std::string backup{};  // the host's file goes here first ("": none)
        std::optional<FootprintItem> was{};  // the place's item before a backup was planned (none: no item)
        bool skip = false;
        bool tooLong = false;  // its path does not fit: passed over, and counted
    };
    void plan(Footprint& footprint, Step& step);
    bool prepareBackups(Footprint& footprint);
    bool takeBackups(Footprint& footprint);
    static void unplan(Footprint& footprint, const Step& step);
    void failed(std::string_view path, std::string_view reason, platform::Status code);

    const Session& session_;
    const HostFolder& host_;
    Domain domain_;
    SourceDigests& digests_;
    std::vector<Step> steps_;
    struct Failure {
        std::string path, reason;
        platform::Status code = 0;
    };
    std::optional<Failure> failure_;
};

}  // namespace ca

// Writing a new protk.dat beside the old one and putting it in its place,
// so that the host never reads half an edit.
#pragma once

#include "core/session.h"
#include "model/host_folder.h"
#include "platform/files.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ca {

// Gathers what is written in blocks of 64 KB.
class BlockWriter {
public:
    explicit BlockWriter(platform::File& file);
    void put(std::string_view bytes);
    // False when some write failed; the code of the first failure is kept.
    bool finish();
    platform::Status error() const { return error_; }

private:
    void flush();
    platform::File& file_;
    std::string buffer_;
    platform::Status error_ = platform::kSuccess;
};

// Writes a new protk.dat through protk.tmp (a file left there is deleted; a
// link is left alone and protk.tm1 and on are tried), created exclusively,
// written whole by `produce`, closed, and renamed over the original in the
// same folder. Any failure leaves the original as it was, and is logged with
// its path.
bool rewrite(const Session& session, const HostFolder& host,
             const std::function<bool(platform::File& original, BlockWriter& out)>& produce);

// Copies the original with `entry` inserted at byte `at`, where the host stops reading.
bool insertBefore(const Session& session, const HostFolder& host, std::uint64_t at, const std::string& entry);

}  // namespace ca

// A file's content in sixteen bytes: its size and a 64-bit FNV-1a digest
// taken over its bytes eight at a time (little-endian words, then the last
// bytes one by one). Enough to tell whether a file is still what the add-in
// wrote; it is no defence against someone who wants to fool it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ca {

struct ContentDigest {
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    bool operator==(const ContentDigest&) const = default;
};

// The digest of the file at `path`; false when it cannot be opened or read
// (the system's code is then the last error).
bool digestFile(const char* path, ContentDigest& digest);

// The same digest of a text's bytes.
ContentDigest digestText(std::string_view text);

// "<size>:<16 hex digits>", and back.
std::string formatDigest(const ContentDigest& digest);
std::optional<ContentDigest> parseDigest(std::string_view text);

}  // namespace ca

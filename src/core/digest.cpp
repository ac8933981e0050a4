#include "core/digest.h"

#include "platform/files.h"

#include <charconv>
#include <cstring>
#include <memory>

namespace ca {
namespace {

constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ull;
constexpr std::uint64_t kPrime = 0x100000001b3ull;
constexpr std::size_t kBlock = 64 * 1024;

std::uint64_t littleEndianWord(const unsigned char* bytes)
{
    std::uint64_t word = 0;
    for (int i = 7; i >= 0; --i) word = word << 8 | bytes[i];
    return word;
}

}  // namespace

bool digestFile(const char* path, ContentDigest& digest)
{
    digest = {0, kOffsetBasis};
    platform::File file = platform::File::open(path, platform::FileOpen::read);
    if (!file) return false;
    // Words count from the file's start, whatever sizes the reads come in.
    const auto block = std::make_unique<unsigned char[]>(kBlock + 8);
    std::size_t carried = 0;
    for (;;) {
        std::size_t got = 0;
        if (!file.read(reinterpret_cast<char*>(block.get()) + carried, kBlock, got)) return false;
        digest.size += got;
        const std::size_t have = carried + got;
        std::size_t at = 0;
        for (; at + 8 <= have; at += 8) digest.hash = (digest.hash ^ littleEndianWord(block.get() + at)) * kPrime;
        carried = have - at;
        std::memmove(block.get(), block.get() + at, carried);
        if (got == 0) break;
    }
    for (std::size_t i = 0; i < carried; ++i) digest.hash = (digest.hash ^ block[i]) * kPrime;
    return true;
}

ContentDigest digestText(std::string_view text)
{
    ContentDigest digest{text.size(), kOffsetBasis};
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) digest.hash = (digest.hash ^ littleEndianWord(bytes + at)) * kPrime;
    for (; at < text.size(); ++at) digest.hash = (digest.hash ^ bytes[at]) * kPrime;
    return digest;
}

std::string formatDigest(const ContentDigest& digest)
{
    char hex[17];
    static const char kDigits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) hex[i] = kDigits[(digest.hash >> (60 - 4 * i)) & 0xF];
    hex[16] = '\0';
    return std::to_string(digest.size) + ":" + hex;
}

std::optional<ContentDigest> parseDigest(std::string_view text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || text.size() - colon - 1 != 16) return std::nullopt;
    ContentDigest digest;
    const char* end = text.data() + colon;
    auto parsed = std::from_chars(text.data(), end, digest.size);
    if (parsed.ec != std::errc() || parsed.ptr != end) return std::nullopt;
    parsed = std::from_chars(end + 1, text.data() + text.size(), digest.hash, 16);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) return std::nullopt;
    return digest;
}

}  // namespace ca

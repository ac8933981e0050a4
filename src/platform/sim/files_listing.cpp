// FindFirstFileA / FindNextFileA on the simulated drives. The folder is read
// once when the listing starts; entries come in NTFS order (names without case).
#include "platform/files.h"
#include "platform/sim/machine_internal.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

namespace {
using sim::Machine;
using sim::Op;

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Wildcards as FindFirstFile has them: '*' and '?', without case; "*.*" is everything.
bool matches(std::string_view pattern, std::string_view name)
{
    if (pattern == "*" || pattern == "*.*") return true;
    std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || sim::foldCase(pattern[p]) == sim::foldCase(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}
}  // namespace

Listing Listing::first(const char* pattern, DirEntry& entry)
{
    Machine& m = Machine::current();
    // A pattern in the current folder is named as the folder's own path.
    std::string subject = pattern != nullptr ? pattern : "";
    if (subject.find_first_of("\\/:") == std::string::npos) subject = m.currentDirectory() + "\\" + subject;
    if (sim::injected(m, Op::listing, subject, kAccessDenied)) return {};
    if (pattern == nullptr || *pattern == '\0') return sim::fail(kFileNotFound), Listing();
    const std::string_view text(pattern);
    std::size_t cut = text.size();
    while (cut > 0 && !isSeparator(text[cut - 1])) --cut;
    std::string folder(text.substr(0, cut));
    std::string_view name = text.substr(cut);
    if (folder.empty() && name.size() >= 2 && name[1] == ':') {
        folder = std::string(name.substr(0, 2));
        name.remove_prefix(2);
    }
    if (name.empty()) return sim::fail(kFileNotFound), Listing();
    const auto dir = m.hostPath(folder.empty() ? "." : folder);
    std::error_code ec;
    if (!dir || !fs::is_directory(fs::status(*dir, ec))) return sim::fail(kPathNotFound), Listing();

    Machine::Internal::ListingState state;
    state.folder = subject;
    for (const char* dots : {".", ".."})
        if (matches(name, dots)) state.entries.push_back({dots, true});
    std::vector<DirEntry> found;
    for (fs::directory_iterator it(*dir, ec), end; !ec && it != end; it.increment(ec)) {
        DirEntry e{it->path().filename().string(), it->is_directory(ec)};
        if (matches(name, e.name)) found.push_back(std::move(e));
    }
    if (ec) return sim::fail(kAccessDenied), Listing();
    std::sort(found.begin(), found.end(), [](const DirEntry& a, const DirEntry& b) {
        return sim::NoCaseLess{}(a.name, b.name) || (!sim::NoCaseLess{}(b.name, a.name) && a.name < b.name);
    });
    state.entries.insert(state.entries.end(), found.begin(), found.end());
    if (state.entries.empty()) return sim::fail(kFileNotFound), Listing();

    entry = state.entries[0];
    state.next = 1;
    const auto id = m.internal().newId();
    m.internal().listings[id] = std::move(state);
    Listing l;
    l.listing_.reset(id);
    return l;
}

Status Listing::next(DirEntry& entry)
{
    Machine& m = Machine::current();
    auto it = m.internal().listings.find(listing_.get());
    if (!listing_ || it == m.internal().listings.end()) return sim::fail(kInvalidHandle), kInvalidHandle;
    if (sim::injected(m, Op::listing, it->second.folder, kAccessDenied)) return kAccessDenied;
    auto& state = it->second;
    if (state.next >= state.entries.size()) return sim::fail(kNoMoreFiles), kNoMoreFiles;
    entry = state.entries[state.next++];
    return kSuccess;
}

void listingClose(std::uintptr_t listing) noexcept
{
    if (Machine* m = Machine::Internal::live()) m->internal().listings.erase(listing);
}

}  // namespace platform

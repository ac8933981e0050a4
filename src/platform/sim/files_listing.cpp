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

// Where the name part of a pattern starts: after its last separator, walked
// by characters, as a trail byte with the code of a backslash is none.
std::size_t nameStart(const sim::CodePage& codePage, std::string_view pattern)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < pattern.size(); i += codePage.isLeadByte(pattern[i]) ? 2 : 1)
        if (isSeparator(pattern[i])) start = i + 1;
    return start;
}

// Wildcards as FindFirstFile has them: '*' and '?', without case; "*.*" is
// everything. Both texts are upper-cased UTF-16.
bool matches(std::u16string_view pattern, std::u16string_view name)
{
    if (pattern == u"*" || pattern == u"*.*") return true;
    std::size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

std::u16string folded(std::string_view utf8) { return sim::upperCase(sim::wideFromUtf8(utf8)); }

// The folder's entries that match, in NTFS order, named in the machine's code page.
std::vector<DirEntry> matchingEntries(const Machine& m, const fs::path& dir, std::u16string_view pattern,
                                      std::error_code& ec)
{
    std::vector<std::pair<std::string, bool>> found;  // the host's name, a folder
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (matches(pattern, folded(name))) found.emplace_back(std::move(name), it->is_directory(ec));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return sim::hostNameLess(a.first, b.first) || (!sim::hostNameLess(b.first, a.first) && a.first < b.first);
    });
    std::vector<DirEntry> entries;
    for (const auto& [name, isDirectory] : found) entries.push_back({m.codePage().fromUtf8(name), isDirectory});
    return entries;
}
}  // namespace

Listing Listing::first(const char* pattern, DirEntry& entry)
{
    Machine& m = Machine::current();
    // A pattern in the current folder is named as the folder's own path.
    std::string subject = pattern != nullptr ? pattern : "";
    if (nameStart(m.codePage(), subject) == 0 && subject.find(':') == std::string::npos)
        subject = m.currentDirectory() + "\\" + subject;
    if (sim::injected(m, Op::listing, subject, kAccessDenied)) return {};
    if (pattern == nullptr || *pattern == '\0') return sim::fail(kFileNotFound), Listing();
    const std::string_view text(pattern);
    const std::size_t cut = nameStart(m.codePage(), text);
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
    const std::u16string wanted = sim::upperCase(m.codePage().toWide(name));
    for (const char* dots : {".", ".."})
        if (matches(wanted, folded(dots))) state.entries.push_back({dots, true});
    const std::vector<DirEntry> found = matchingEntries(m, *dir, wanted, ec);
    if (ec) return sim::fail(kAccessDenied), Listing();
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

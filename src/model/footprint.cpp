#include "model/footprint.h"

#include "core/paths.h"
#include "core/text.h"

#include <algorithm>

namespace ca {
namespace {

// The record's first line: a later format gets a new one, and an older
// version then leaves that host alone rather than guess.
constexpr std::string_view kFormatLine = "Orvella footprint 1";

// Fields are separated by tabs: no name in a path holds one, and no double-
// byte character of the ANSI code pages has one as its second byte.
std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> out;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) return out;
        start = tab + 1;
    }
}

struct MarkName {
    Mark mark;
    std::string_view name;
};
constexpr MarkName kMarks[] = {{Mark::folder, "folder"},     {Mark::file, "file"},
                               {Mark::replaced, "replaced"}, {Mark::entry, "entry"},
                               {Mark::registration, "protk"}};

std::optional<Mark> markNamed(std::string_view name)
{
    for (const MarkName& m : kMarks)
        if (m.name == name) return m.mark;
    return std::nullopt;
}

std::string_view nameOf(Mark mark)
{
    for (const MarkName& m : kMarks)
        if (m.mark == mark) return m.name;
    return "";
}

std::optional<Domain> domainNamed(std::string_view name)
{
    if (name.size() != 1) return std::nullopt;
    for (const Domain d : {Domain::deployment, Domain::resources, Domain::runtime, Domain::registration})
        if (name[0] == static_cast<char>(d)) return d;
    return std::nullopt;
}

std::string digestsText(const std::vector<ContentDigest>& digests)
{
    std::string text;
    for (const ContentDigest& d : digests) text += (text.empty() ? "" : " ") + formatDigest(d);
    return text;
}

bool parseDigests(std::string_view text, std::vector<ContentDigest>& digests)
{
    while (!text.empty()) {
        const std::size_t blank = text.find(' ');
        const auto digest = parseDigest(text.substr(0, blank));
        if (!digest) return false;
        digests.push_back(*digest);
        text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    }
    return true;
}

// kind, domain, place, then the digests and the backup of a file item.
std::optional<FootprintItem> parseItem(const std::vector<std::string_view>& f)
{
    FootprintItem item;
    const auto mark = markNamed(f[0]);
    const auto domain = f.size() > 1 ? domainNamed(f[1]) : std::nullopt;
    if (!mark || !domain) return std::nullopt;
    item.mark = *mark;
    item.domain = *domain;
    const std::size_t expected = item.mark == Mark::replaced ? 5 : item.mark == Mark::file ? 4 : 3;
    if (f.size() != expected || (item.mark != Mark::entry && f[2].empty())) return std::nullopt;
    item.place = f[2];
    if (item.isFile() && !parseDigests(f[3], item.wrote)) return std::nullopt;
    if (item.mark == Mark::replaced) {
        item.backup = f[4];
        if (item.backup.empty()) return std::nullopt;
    }
    return item;
}

}  // namespace

bool FootprintItem::holdsOurs(const ContentDigest& content) const
{
    return wrote.empty() || std::find(wrote.begin(), wrote.end(), content) != wrote.end();
}

FootprintItem* Footprint::find(Mark mark, std::string_view place)
{
    for (FootprintItem& item : items_)
        if (item.mark == mark && equalsIgnoringCase(item.place, place)) return &item;
    return nullptr;
}

FootprintItem* Footprint::findFile(std::string_view place)
{
    for (FootprintItem& item : items_)
        if (item.isFile() && equalsIgnoringCase(item.place, place)) return &item;
    return nullptr;
}

bool Footprint::has(Mark mark) const
{
    return std::any_of(items_.begin(), items_.end(), [mark](const FootprintItem& i) { return i.mark == mark; });
}

bool Footprint::holdsBelow(std::string_view folder) const
{
    return std::any_of(items_.begin(), items_.end(), [folder](const FootprintItem& i) {
        return i.place.size() > folder.size() + 1 && startsWithIgnoringCase(i.place, folder) &&
               i.place[folder.size()] == '\\';
    });
}

std::string Footprint::newBackupName(std::string_view place) const
{
    const std::size_t slash = place.rfind('\\');
    const std::string_view name = slash == std::string_view::npos ? place : place.substr(slash + 1);
    for (int n = 1;; ++n) {
        std::string candidate = std::to_string(n) + "-" + std::string(name);
        if (std::none_of(items_.begin(), items_.end(),
                         [&](const FootprintItem& i) { return equalsIgnoringCase(i.backup, candidate); }))
            return candidate;
    }
}

std::vector<std::string> Footprint::lines() const
{
    std::vector<std::string> out{std::string(kFormatLine), "host\t" + host_};
    if (!backups_.empty()) out.push_back("backups\t" + backups_);
    if (earlier_) out.emplace_back("earlier");
    for (const FootprintItem& item : items_) {
        std::string line = std::string(nameOf(item.mark)) + "\t" + static_cast<char>(item.domain) + "\t" + item.place;
        if (item.isFile()) line += "\t" + digestsText(item.wrote);
        if (item.mark == Mark::replaced) line += "\t" + item.backup;
        out.push_back(std::move(line));
    }
    return out;
}

std::optional<Footprint> Footprint::parse(const std::vector<std::string>& lines)
{
    if (lines.size() < 2 || lines[0] != kFormatLine) return std::nullopt;
    Footprint footprint;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto f = fields(lines[i]);
        if (i == 1) {
            if (f.size() != 2 || f[0] != "host" || f[1].empty()) return std::nullopt;
            footprint.host_ = f[1];
        } else if (f[0] == "backups" && f.size() == 2 && !f[1].empty() && footprint.backups_.empty()) {
            footprint.backups_ = f[1];
        } else if (f[0] == "earlier" && f.size() == 1) {
            footprint.earlier_ = true;
        } else if (const auto item = parseItem(f)) {
            footprint.items_.push_back(*item);
        } else {
            return std::nullopt;
        }
    }
    return footprint;
}

std::vector<std::string> backupFolderLevels(std::string_view folder)
{
    std::vector<std::string> levels;
    for (std::string level(folder); levels.size() < 4;) {
        levels.push_back(level);
        const std::size_t slash = level.rfind('\\');
        if (slash == std::string::npos || equalsIgnoringCase(level.substr(slash + 1), kVendorFolder)) break;
        level.erase(slash);
    }
    return levels;
}

std::string footprintValueName(std::string_view folder)
{
    std::string name(folder);
    stripTrailingSeparator(name);
    return std::string(kFootprintValuePrefix) + name;
}

}  // namespace ca

// The simulated machine: its life, drives and path resolution, environment,
// fault injection and handle accounting.
#include "platform/sim/machine_internal.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace sim {

namespace {
Machine* g_current = nullptr;
std::uint64_t g_serial = 0;

bool isSeparator(char c) { return c == '\\' || c == '/'; }
}  // namespace

char foldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

namespace {

bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool equalAscii(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldCase(x) == foldCase(y); });
}

// Upper-case folding, as Windows compares: '_' sorts after the letters.
bool lessAscii(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(foldCase(x)) < static_cast<unsigned char>(foldCase(y));
    });
}

// Names compare in Unicode, so that a trail byte never folds; ASCII names,
// nearly all of them, take the short way to the same result.
std::u16string foldedName(std::string_view ansi) { return upperCase(activeCodePage().toWide(ansi)); }
std::u16string foldedHostName(std::string_view utf8) { return upperCase(wideFromUtf8(utf8)); }

}  // namespace

bool equalNoCase(std::string_view a, std::string_view b)
{
    if (isAscii(a) && isAscii(b)) return equalAscii(a, b);
    return foldedName(a) == foldedName(b);
}

bool sameHostName(std::string_view a, std::string_view b)
{
    if (isAscii(a) && isAscii(b)) return equalAscii(a, b);
    return foldedHostName(a) == foldedHostName(b);
}

bool hostNameLess(std::string_view a, std::string_view b)
{
    if (isAscii(a) && isAscii(b)) return lessAscii(a, b);
    return foldedHostName(a) < foldedHostName(b);
}

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const
{
    if (isAscii(a) && isAscii(b)) return lessAscii(a, b);
    return foldedName(a) < foldedName(b);
}

const char* opName(Op op)
{
    static const char* const names[] = {
        "fileOpen", "fileRead", "fileWrite", "fileClose", "copyFile", "deleteFile", "removeDirectory",
        "makeDirectory", "replaceFile", "listing", "changeDirectory", "currentDirectory", "getEnvironment",
        "regOpen", "regCreate", "regEnum", "regQuery", "regSet", "regDelete",
        "propertyGet", "propertySet", "database", "xmlCreate", "xmlLoad", "moveAtRestart", "requestRestart"};
    static_assert(sizeof(names) / sizeof(names[0]) == static_cast<int>(Op::count_));
    const int i = static_cast<int>(op);
    return (i >= 0 && i < static_cast<int>(Op::count_)) ? names[i] : "?";
}

bool Faults::shouldFail(Op op)
{
    const int count = ++calls_[static_cast<int>(op)];
    if (k_ > 0 && op == target_ && count == k_) {
        injected_ = true;
        return true;
    }
    return false;
}

bool fail(platform::Status code)
{
    if (Machine* m = Machine::Internal::live()) m->internal().lastError = code;
    return false;
}

bool injected(Machine& m, Op op, std::string_view subject, platform::Status code)
{
    if (!m.faults().shouldFail(op)) return false;
    m.faults().noteInjected(subject, code);
    m.internal().lastError = code;
    return true;
}

std::string ResolvedPath::windowsForm(const CodePage& codePage) const
{
    std::string s{drive, ':', '\\'};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) s += '\\';
        s += codePage.fromUtf8(parts[i]);
    }
    return s;
}

Machine::Machine(fs::path driveC)
{
    if (g_current != nullptr) throw std::logic_error("a simulated machine is already running");
    drives_['C'] = std::move(driveC);
    drives_['Z'] = "/";
    internal_ = new Internal;
    internal_->serial = ++g_serial;
    sessionHandle_ = static_cast<platform::MsiHandle>(internal_->newId());
    g_current = this;
}

Machine::~Machine()
{
    if (g_current == this) g_current = nullptr;
    delete internal_;
}

Machine& Machine::current()
{
    if (g_current == nullptr) throw std::logic_error("no simulated machine is running");
    return *g_current;
}

Machine* Machine::Internal::live() { return g_current; }

std::uintptr_t Machine::Internal::newId()
{
    static std::uint32_t next = 100;
    if (next == 0) next = 100;  // wrapped: MSI handles are 32 bits
    return next++;
}

void Machine::mapDrive(char letter, fs::path hostFolder) { drives_[foldCase(letter)] = std::move(hostFolder); }

namespace {

// Appends the components of `path` to `parts`; separators of either kind, repeated or not.
void splitComponents(std::string_view path, std::vector<std::string>& parts)
{
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && isSeparator(path[i])) ++i;
        std::size_t j = i;
        while (j < path.size() && !isSeparator(path[j])) ++j;
        if (j > i) parts.emplace_back(path.substr(i, j - i));
        i = j;
    }
}

// Each component in its on-disk case when one exists without regard to case.
void locateOnHost(std::vector<std::string>& parts, fs::path& host)
{
    bool searching = true;  // false once a component is missing: nothing below it exists either
    for (auto& part : parts) {
        std::error_code ec;
        if (searching && !fs::exists(fs::symlink_status(host / part, ec))) {
            std::optional<std::string> found;
            for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec)) {
                const std::string name = it->path().filename().string();
                // Several names that differ only in case: take one deterministically.
                if (sameHostName(name, part) && (!found || name < *found)) found = name;
            }
            if (found)
                part = *found;
            else
                searching = false;
        }
        host /= part;
    }
}

}  // namespace

// The drive and the components, as GetFullPathName makes them: case as given.
ResolvedPath Machine::Internal::lexical(const Machine& m, std::string_view windowsPath)
{
    // Windows takes a path apart in Unicode, where a trail byte that has the
    // code of a backslash is part of its character and separates nothing.
    const std::string path = m.codePage_.toUtf8(windowsPath);
    const std::string cwd = m.codePage_.toUtf8(m.cwd_);
    ResolvedPath r;
    std::string_view rest = path;
    std::vector<std::string> raw;
    const char cwdDrive = cwd.size() >= 2 && cwd[1] == ':' ? foldCase(cwd[0]) : 'C';
    const auto startFromCwd = [&] {
        splitComponents(std::string_view(cwd).substr(std::min<std::size_t>(2, cwd.size())), raw);
    };
    if (rest.size() >= 2 && rest[1] == ':') {
        r.drive = foldCase(rest[0]);
        rest.remove_prefix(2);
        // "C:name" is relative to the current folder when that is on the same drive.
        if (!rest.empty() && !isSeparator(rest[0]) && r.drive == cwdDrive) startFromCwd();
        if (rest.empty() && r.drive == cwdDrive) startFromCwd();
    } else {
        r.drive = cwdDrive;
        if (rest.empty() || !isSeparator(rest[0])) startFromCwd();
    }
    splitComponents(rest, raw);
    for (auto& part : raw) {
        if (part == ".") continue;
        if (part == "..") {
            if (!r.parts.empty()) r.parts.pop_back();
            continue;
        }
        r.parts.push_back(std::move(part));
    }
    return r;
}

std::optional<ResolvedPath> Machine::Internal::resolve(const Machine& m, std::string_view path)
{
    ResolvedPath r = lexical(m, path);
    const auto drive = m.drives_.find(r.drive);
    if (drive == m.drives_.end()) return std::nullopt;
    r.host = drive->second;
    locateOnHost(r.parts, r.host);
    // "file\" names no file on Windows; the host agrees once the separator stays.
    std::error_code ec;
    const std::string utf8 = m.codePage_.toUtf8(path);
    if (!utf8.empty() && isSeparator(utf8.back()) && !r.parts.empty() && fs::exists(fs::status(r.host, ec)) &&
        !fs::is_directory(fs::status(r.host, ec)))
        r.host += "/";
    return r;
}

const char* effectName(Effect::Kind kind)
{
    static constexpr const char* kNames[] = {"file created", "file written", "file copied", "file moved",
                                             "file deleted", "folder created", "folder removed", "registry key created",
                                             "registry value set", "registry value deleted",
                                             "file replaced at the next restart", "file deleted at the next restart",
                                             "folder removed at the next restart"};
    return kNames[static_cast<int>(kind)];
}

void Machine::noteEffect(Effect::Kind kind, std::string_view path, std::string_view detail)
{
    std::string where(path);
    // A relative path is the current folder's.
    const bool registry = kind == Effect::Kind::keyCreated || kind == Effect::Kind::valueSet ||
                          kind == Effect::Kind::valueDeleted;
    if (!registry && !(where.size() >= 2 && where[1] == ':'))
        where = (!where.empty() && isSeparator(where[0]) ? cwd_.substr(0, 2) : cwd_ + "\\") + where;
    effects_.push_back({kind, std::move(where), std::string(detail), log_.size()});
}

std::optional<std::string> Machine::windowsPath(const fs::path& hostPath) const
{
    std::optional<std::string> best;
    std::size_t bestDepth = 0;
    for (const auto& [letter, root] : drives_) {
        std::error_code ec;
        const fs::path base = fs::weakly_canonical(root, ec);
        if (ec) continue;
        const fs::path relative = hostPath.lexically_relative(base);
        if (relative.empty() || *relative.begin() == "..") continue;
        const std::size_t depth = static_cast<std::size_t>(std::distance(base.begin(), base.end()));
        if (best && depth <= bestDepth) continue;
        std::string path = std::string(1, letter) + ":";
        for (const auto& part : relative)
            if (part != ".") path += "\\" + codePage_.fromUtf8(part.string());
        if (path.size() == 2) path += "\\";
        best = path;
        bestDepth = depth;
    }
    return best;
}

std::optional<fs::path> Machine::hostPath(std::string_view windowsPath) const
{
    auto r = Internal::resolve(*this, windowsPath);
    if (!r) return std::nullopt;
    return r->host;
}

namespace {
auto findEnv(std::map<std::string, std::string>& env, const std::string& name)
{
    return std::find_if(env.begin(), env.end(), [&](const auto& kv) { return equalNoCase(kv.first, name); });
}
}  // namespace

// Environment names compare without case on Windows.
void Machine::setEnv(const std::string& name, const std::string& value)
{
    auto it = findEnv(env_, name);
    if (it != env_.end()) env_.erase(it);
    env_[name] = value;
}

void Machine::unsetEnv(const std::string& name)
{
    auto it = findEnv(env_, name);
    if (it != env_.end()) env_.erase(it);
}

std::optional<std::string> Machine::env(const std::string& name) const
{
    auto& env = const_cast<std::map<std::string, std::string>&>(env_);
    auto it = findEnv(env, name);
    if (it == env.end()) return std::nullopt;
    return it->second;
}

std::map<std::string, int> Machine::openHandlesByKind() const
{
    std::map<std::string, int> kinds;
    auto add = [&](const char* kind, int n) {
        if (n != 0) kinds[kind] = n;
    };
    add("registry", static_cast<int>(internal_->keys.size()));
    add("stream", internal_->streams);
    add("file", internal_->files);
    add("listing", static_cast<int>(internal_->listings.size()));
    add("msi", static_cast<int>(internal_->msi.size()));
    add("com", internal_->com);
    return kinds;
}

int Machine::openHandles() const
{
    int total = 0;
    for (const auto& [kind, n] : openHandlesByKind()) total += n;
    return total;
}

}  // namespace sim

// Files in use and what waits for the next restart on the simulated
// machine: files held open by another process, MoveFileEx's delayed
// replacements and deletions as the system records them, and the restart
// that carries them out.
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/installer.h"
#include "platform/sim/machine_internal.h"

#include <system_error>

namespace fs = std::filesystem;

namespace sim {

namespace {

// The form the system gives each path in the list: the full path behind
// "\??\", its drive letter as given.
std::string ntPath(const Machine& m, const char* path)
{
    std::string full = Machine::Internal::lexical(m, path).windowsForm(m.codePage());
    if (path[0] != '\0' && path[1] == ':') full[0] = path[0];
    return "\\??\\" + full;
}

std::string_view withoutNtPrefix(std::string_view path)
{
    if (path.substr(0, 4) == "\\??\\") path.remove_prefix(4);
    return path;
}

std::vector<std::string> multiStrings(const std::vector<std::uint8_t>& data)
{
    std::vector<std::string> strings;
    std::string current;
    for (const std::uint8_t byte : data) {
        if (byte != 0) {
            current += static_cast<char>(byte);
            continue;
        }
        strings.push_back(current);
        current.clear();
    }
    if (!current.empty()) strings.push_back(current);
    return strings;
}

// One pending operation, as the session manager carries it out at boot.
void carryOut(Machine& m, std::string_view from, std::string_view to)
{
    const auto source = m.hostPath(withoutNtPrefix(from));
    if (!source) return;
    std::error_code ec;
    if (to.empty()) {  // a deletion: a file, or a folder that is empty by then
        if (fs::is_directory(fs::symlink_status(*source, ec)) && !fs::is_empty(*source, ec)) return;
        fs::remove(*source, ec);
        return;
    }
    const bool replace = to.front() == '!';
    if (replace) to.remove_prefix(1);
    const auto target = m.hostPath(withoutNtPrefix(to));
    if (!target || !fs::exists(fs::symlink_status(*source, ec))) return;
    const auto existing = fs::symlink_status(*target, ec);
    if (fs::exists(existing) && (!replace || fs::is_directory(existing))) return;
    fs::rename(*source, *target, ec);
}

}  // namespace

void Machine::holdFile(std::string_view windowsPath) { held_.emplace_back(windowsPath); }

void Machine::releaseFiles() { held_.clear(); }

bool Machine::isHeld(std::string_view windowsPath) const
{
    const auto p = hostPath(windowsPath);
    return p && Internal::holds(*this, *p);
}

bool Machine::Internal::holds(const Machine& m, const fs::path& host)
{
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(host, ec);
    for (const std::string& held : m.held_) {
        const auto p = m.hostPath(held);
        if (!p) continue;
        if (*p == host) return true;
        std::error_code ec2;
        if (!ec && fs::weakly_canonical(*p, ec2) == target && !ec2) return true;
    }
    return false;
}

bool Machine::Internal::holdsWithin(const Machine& m, const fs::path& folder)
{
    const std::string prefix = folder.string() + "/";
    for (const std::string& held : m.held_) {
        const auto p = m.hostPath(held);
        if (p && p->string().compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

void Machine::restart()
{
    releaseFiles();
    const auto value = registry_.value(kSessionManagerKey, kPendingRenames);
    registry_.deleteValue(kSessionManagerKey, kPendingRenames);
    restartRequested_ = false;
    if (!value) return;
    const std::vector<std::string> strings = multiStrings(value->data);
    for (std::size_t i = 0; i + 1 < strings.size() && !strings[i].empty(); i += 2) carryOut(*this, strings[i], strings[i + 1]);
}

}  // namespace sim

namespace platform {

bool moveFileAtRestart(const char* from, const char* to)
{
    sim::Machine& m = sim::Machine::current();
    if (sim::injected(m, sim::Op::moveAtRestart, from != nullptr ? from : "", kAccessDenied)) return false;
    if (from == nullptr || *from == '\0' || (to != nullptr && *to == '\0')) return sim::fail(kInvalidParameter);
    // The list lives under HKLM, which only an administrator may write.
    if (m.standardUser) return sim::fail(kAccessDenied);
    // Each operation is two strings, the source and the target, a target
    // that replaces marked with "!", and an empty one for a deletion; the
    // list ends with one more NUL.
    std::string entry = sim::ntPath(m, from);
    entry += '\0';
    if (to != nullptr) entry += "!" + sim::ntPath(m, to);
    entry += '\0';
    sim::Registry& registry = m.registry();
    sim::RegValue value{7, {}};  // REG_MULTI_SZ
    if (const auto old = registry.value(sim::Machine::kSessionManagerKey, sim::Machine::kPendingRenames)) {
        value.data = old->data;
        if (!value.data.empty() && value.data.back() == 0) value.data.pop_back();
    }
    value.data.insert(value.data.end(), entry.begin(), entry.end());
    value.data.push_back(0);
    registry.setValue(sim::Machine::kSessionManagerKey, sim::Machine::kPendingRenames, std::move(value));
    using Kind = sim::Effect::Kind;
    const auto p = m.hostPath(from);
    std::error_code ec;
    if (to != nullptr)
        m.noteEffect(Kind::replacedAtRestart, to, from);
    else
        m.noteEffect(p && fs::is_directory(*p, ec) ? Kind::removedAtRestart : Kind::deletedAtRestart, from);
    return true;
}

bool isFileInUse(const char* path)
{
    sim::Machine& m = sim::Machine::current();
    if (sim::injected(m, sim::Op::fileOpen, path != nullptr ? path : "", kAccessDenied)) return false;
    if (path == nullptr || *path == '\0') return sim::fail(kPathNotFound);
    const auto p = m.hostPath(path);
    std::error_code ec;
    if (!p || !fs::is_regular_file(fs::status(*p, ec))) return sim::fail(kFileNotFound);
    if (!sim::Machine::Internal::holds(m, *p)) return sim::fail(kSuccess);
    sim::fail(kSharingViolation);
    return true;
}

Status msiRequestRestart(MsiHandle session)
{
    sim::Machine& m = sim::Machine::current();
    if (sim::injected(m, sim::Op::requestRestart, "", kAccessDenied)) return kAccessDenied;
    if (session != m.session()) return kInvalidHandle;
    m.setRestartRequested(true);
    return kSuccess;
}

}  // namespace platform

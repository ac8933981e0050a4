// The fleet's report: a line per machine and a count by readiness, or JSON.
#include "preflight.h"
#include "text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>

namespace casim {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::array<Readiness, 5> kOrder{Readiness::ready, Readiness::restart, Readiness::notRestored,
                                          Readiness::stopped, Readiness::unreadable};

std::string listed(const std::vector<std::string>& folders)
{
    std::string text;
    for (const auto& f : folders) text += (text.empty() ? "" : ", ") + utf8FromAnsi(f);
    return text;
}

std::string hostsPart(const MachineCheck& m)
{
    std::string text = std::to_string(m.found.size()) + (m.found.size() == 1 ? " host" : " hosts");
    if (!m.found.empty()) text += " (" + listed(m.found) + ")";
    if (m.registered == m.deployed)
        return text + "; registered and deployed: " + (m.registered.empty() ? "none" : listed(m.registered));
    return text + "; registered: " + (m.registered.empty() ? "none" : listed(m.registered)) +
           "; deployed: " + (m.deployed.empty() ? "none" : listed(m.deployed));
}

std::string removalPart(const MachineCheck& m)
{
    std::string left;
    for (const auto& h : m.hosts) {
        if (h.differences.empty()) continue;
        left += (left.empty() ? "" : "; ") + utf8FromAnsi(h.folder) + " differs:";
        // The first few differences tell the kind; --json lists them all.
        const std::size_t shown = std::min<std::size_t>(h.differences.size(), 3);
        for (std::size_t i = 0; i < shown; ++i) left += " " + utf8FromAnsi(h.differences[i].text);
        if (shown < h.differences.size()) left += " and " + std::to_string(h.differences.size() - shown) + " more";
    }
    std::string text = "removal: " + (left.empty() ? std::string("every host byte for byte as before") : left);
    if (!m.removalError.empty()) text += "; removal fails: " + utf8FromAnsi(m.removalError);
    return text;
}

std::string machineLine(const MachineCheck& m)
{
    std::string line = m.folder + ": " + readinessName(m.readiness()) + "; ";
    if (!m.unreadable.empty()) return line + m.unreadable;
    line += hostsPart(m);
    if (!m.stop.empty()) line += "; stopped by " + utf8FromAnsi(m.stop);
    if (!m.filesInUse.empty()) line += "; files in use in " + utf8FromAnsi(m.filesInUse);
    if (!m.restartFile.empty()) line += "; waits for a restart: " + utf8FromAnsi(m.restartFile);
    line += "; " + removalPart(m);
    return line + "; exit " + std::to_string(m.installExit) + ", removal " + std::to_string(m.removeExit);
}

Json texts(const std::vector<std::string>& items)
{
    Json list = Json::array();
    for (const auto& item : items) list.push_back(utf8FromAnsi(item));
    return list;
}

Json orNull(const std::string& ansi)
{
    return ansi.empty() ? Json(nullptr) : Json(utf8FromAnsi(ansi));
}

Json machineJson(const MachineCheck& m)
{
    Json hosts = Json::array();
    for (const auto& h : m.hosts) {
        std::vector<std::string> differences;
        for (const auto& d : h.differences) differences.push_back(d.text);
        hosts.push_back({{"folder", utf8FromAnsi(h.folder)}, {"asBefore", h.differences.empty()},
                         {"differences", texts(differences)}});
    }
    const bool ran = m.unreadable.empty();
    return Json{{"snapshot", m.folder},
                {"readiness", readinessName(m.readiness())},
                {"unreadable", ran ? Json(nullptr) : Json(m.unreadable)},
                {"hostsFound", texts(m.found)},
                {"registered", texts(m.registered)},
                {"deployed", texts(m.deployed)},
                {"stoppedBy", orNull(m.stop)},
                {"filesInUse", orNull(m.filesInUse)},
                {"restartFile", orNull(m.restartFile)},
                {"installExitCode", ran ? Json(m.installExit) : Json(nullptr)},
                {"removal", {{"exitCode", ran ? Json(m.removeExit) : Json(nullptr)},
                             {"error", orNull(m.removalError)},
                             {"hosts", std::move(hosts)}}}};
}

}  // namespace

const char* readinessName(Readiness r)
{
    switch (r) {
    case Readiness::ready: return "ready";
    case Readiness::restart: return "restart";
    case Readiness::notRestored: return "not restored";
    case Readiness::stopped: return "stopped";
    case Readiness::unreadable: return "unreadable";
    }
    return "?";
}

std::string fleetSummary(const std::vector<MachineCheck>& machines)
{
    std::string text = std::to_string(machines.size()) + (machines.size() == 1 ? " machine:" : " machines:");
    for (std::size_t i = 0; i < kOrder.size(); ++i) {
        const auto n = std::count_if(machines.begin(), machines.end(),
                                     [&](const MachineCheck& m) { return m.readiness() == kOrder[i]; });
        text += std::string(i == 0 ? " " : ", ") + std::to_string(n) + " " + readinessName(kOrder[i]);
    }
    return text;
}

// Each machine's texts are in its own code page.
static void useCodePageOf(const MachineCheck& m)
{
    useCodePage(sim::CodePage::of(m.codePage).value_or(sim::CodePage()));
}

void printFleet(std::ostream& out, const std::vector<MachineCheck>& machines, bool colour)
{
    const sim::CodePage before = codePage();
    for (const auto& m : machines) {
        useCodePageOf(m);
        const Readiness r = m.readiness();
        const char* on = !colour ? "" : r == Readiness::ready ? "\033[32m" : r == Readiness::restart ? "\033[33m" : "\033[31m";
        out << on << machineLine(m) << (colour ? "\033[0m" : "") << "\n";
    }
    useCodePage(before);
    out << fleetSummary(machines) << "\n";
}

void printFleetJson(std::ostream& out, const std::vector<MachineCheck>& machines, int status)
{
    Json list = Json::array(), counts = Json::object();
    const sim::CodePage before = codePage();
    for (const auto& m : machines) {
        useCodePageOf(m);
        list.push_back(machineJson(m));
    }
    useCodePage(before);
    for (const Readiness r : kOrder)
        counts[readinessName(r)] =
            std::count_if(machines.begin(), machines.end(), [&](const MachineCheck& m) { return m.readiness() == r; });
    const Json report{{"format", 1}, {"command", "preflight"}, {"machines", std::move(list)},
                      {"counts", std::move(counts)}, {"status", status}};
    out << report.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

}  // namespace casim

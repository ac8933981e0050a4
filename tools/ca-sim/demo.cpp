#include "demo.h"

#include "host_summary.h"
#include "names.h"
#include "scenario.h"
#include "staging.h"

#include "platform/sim/machine.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace casim {
namespace fs = std::filesystem;
namespace {

struct Host {
    const char* folder;      // below C:
    const char* name;        // for a reader
    const char* key;         // release key and subkey below SOFTWARE\PTC
    const char* folderValue;
    const char* shipcode;
    const char* datecode;
    const char* logRelease;  // RELEASE value of the installation log ("" = no log)
    bool ribbon;
};

const Host kHosts[] = {
    {"PTC\\wf4-m070", "Wildfire 4.0", "Pro/ENGINEER\\Wildfire 4.0\\M070", "InstallDir", "M070", "2009070",
     "Wildfire 4.0", false},
    {"PTC\\wf4-m040", "Wildfire 4.0", "Pro/ENGINEER\\Wildfire 4.0\\M040", "InstallDir", "M040", "2008040",
     "Wildfire 4.0", false},
    {"PTC\\wf5", "Wildfire 5.0", "Pro/ENGINEER\\Wildfire 5.0\\M060", "InstallDir", "M060", "2010060", "Wildfire 5.0",
     false},
    {"PTC\\creo1", "Creo Parametric 1.0", "Creo Parametric\\1.0\\F000", "CommonFilesLocation", "F000", "2011000",
     "Creo Parametric 1.0", true},
    {"PTC\\creo2", "Creo Parametric 2.0", "Creo Parametric\\2.0\\M030", "CommonFilesLocation", "M030", "2012030", "",
     true},
};
constexpr const char* kStaging = "ProgramData";

const char* kOtherVendor =
    "name VendorTools\r\n"
    "startup dll\r\n"
    "exec_file C:\\Vendor\\vendortools.dll\r\n"
    "text_dir C:\\Vendor\\text\r\n"
    "end\r\n";

// Names compare without case on the machine: a component that exists in
// another case is that one, as Windows would find it.
void put(const fs::path& driveC, const std::string& windowsPath, const std::string& content)
{
    fs::path at = driveC;
    std::vector<std::string> parts;
    for (std::size_t start = 0; start <= windowsPath.size();) {
        const auto end = std::min(windowsPath.find('\\', start), windowsPath.size());
        parts.push_back(windowsPath.substr(start, end - start));
        start = end + 1;
    }
    for (const auto& part : parts) {
        fs::path next = at / part;
        if (fs::is_directory(at))
            for (const auto& entry : fs::directory_iterator(at))
                if (sameName(entry.path().filename().string(), part)) next = entry.path();
        at = next;
    }
    fs::create_directories(at.parent_path());
    std::ofstream(at, std::ios::binary) << content;
}

void writeHost(const fs::path& c, const Host& h)
{
    const std::string f = h.folder;
    put(c, f + "\\x86e_win64\\obj\\xtop.exe", "host executable\n");
    put(c, f + "\\x86e_win64\\obj\\host.dll", "a file of the host\n");
    put(c, f + "\\text\\protk.dat", kOtherVendor);
    put(c, f + "\\text\\usascii\\host_messages.txt", "messages of the host\n");
    if (h.ribbon) put(c, f + "\\text\\ribbon\\host.rbn", "ribbon of the host\n");
    if (*h.logRelease)
        put(c, f + "\\uninstall\\instlog.txt",
            std::string("PRODUCT=\"host\"\r\nRELEASE=\"") + h.logRelease + "\"\r\nDATECODE=\"" + h.datecode +
                "\"\r\nSHIPCODE=\"" + h.shipcode + "\"\r\n");
}

// A stand-in for each staged file, and one file in each staged folder.
void writeStagingArea(const fs::path& c)
{
    for (const StagedEntry& e : stagedPayload()) {
        const std::string path = std::string(kStaging) + "\\" + e.path + (e.folder ? "orvella.res" : "");
        put(c, path, "staged " + path + "\r\n");
    }
}

// --- the summary ------------------------------------------------------------

bool below(const std::string& path, const std::string& folder)
{
    return path.rfind(folder + "\\", 0) == 0;
}

StagingSummary stagingSummary(const std::string& folder, const MachineState& start, const MachineState& installed,
                              const MachineState& removed)
{
    StagingSummary s;
    s.folder = folder;
    // The product's own folder beside the staging area holds the backups of the hosts' files.
    const std::string own = folder + "\\Kestrane";
    const auto staged = [&](const std::string& name) { return below(name, folder) && name != own && !below(name, own); };
    for (const auto& [name, content] : start.files)
        if (content && staged(name)) ++s.stagedFiles;
    for (const auto& [name, content] : installed.files)
        if (content && staged(name)) s.left.push_back(name.substr(folder.size() + 1));
    for (const auto& c : diff(installed, removed).files) s.touchedByRemoval |= staged(c.path);
    return s;
}

}  // namespace

Summary summarize(const MachineState& start, const MachineState& installed, const MachineState& removed)
{
    Summary summary;
    // The host folders are those directly below C:\PTC.
    for (const auto& [name, content] : start.files) {
        const auto slash = name.find('\\', std::string("C:\\PTC\\").size());
        if (!content && below(name, "C:\\PTC") && slash == std::string::npos)
            summary.hosts.push_back(summarizeHost(name, start, installed, removed));
    }
    summary.staging = stagingSummary(std::string("C:\\") + kStaging, start, installed, removed);
    return summary;
}

void writeDemoScenario(const fs::path& folder)
{
    const fs::path c = folder / "drive_c";
    sim::Registry registry;
    for (const Host& h : kHosts) {
        const std::string key = std::string("SOFTWARE\\PTC\\") + h.key;
        registry.setString(key, h.folderValue, std::string("C:\\") + h.folder);
        registry.setString(key, "DateCode", h.datecode);
        registry.setString(key, "Shipcode", h.shipcode);
        writeHost(c, h);
    }
    // A host that ships its own C runtime where the add-in puts its copy:
    // the removal brings the host's back.
    put(c, "PTC\\wf5\\x86e_win64\\obj\\msvcr90.dll", "the host's own C runtime\n");
    put(c, "PTC\\creo2\\bin\\pim\\xml\\creobase.p.xml",
        "<?xml version=\"1.0\"?>\n<release name=\"Creo Parametric\" datecode=\"2012030\" shipcode=\"M030\" "
        "version=\"2.0\">\n  <component name=\"base\"/>\n</release>\n");
    writeStagingArea(c);
    std::ofstream(folder / "machine.reg", std::ios::binary) << registry.exportText();
    Scenario demo;
    demo.sequences = {{"install"}, {"remove"}};
    std::ofstream(folder / "scenario.txt", std::ios::binary)
        << scenarioText(demo, {"The demo: " + demoDescription(),
                               "It installs the add-in with the package's install sequence and removes it again."});
}

std::string demoDescription()
{
    std::string hosts;
    for (std::size_t i = 0; i < std::size(kHosts); ++i)
        hosts += std::string(i == 0 ? "" : i + 1 == std::size(kHosts) ? " and " : ", ") + kHosts[i].name + " (C:\\" +
                 kHosts[i].folder + ")";
    return hosts + ", each with another vendor's add-in in text\\protk.dat, and the add-in's files staged in C:\\" +
           kStaging + ".";
}

}  // namespace casim

// A dry run over a fleet: the package's silent installation and then its
// removal on each machine's snapshot (a scenario folder, as the collector
// writes one), told in one line per machine, for whoever pushes the package
// to many seats at once.
#pragma once

#include "package.h"
#include "report.h"
#include "scenario.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace casim {

// What a machine would see, by the first thing that matters.
enum class Readiness { ready, restart, notRestored, stopped, unreadable };

struct MachineCheck {
    std::string folder;  // the snapshot, as given
    unsigned codePage = 1252;  // the machine's, in which its folders and texts below are
    std::string unreadable;  // why nothing ran (a bad scenario, registry or machine); empty when it ran
    std::vector<std::string> found;       // host folders that detection found or the command line named
    std::vector<std::string> registered;  // host folders whose protk.dat names the add-in after the installation
    std::vector<std::string> deployed;    // host folders the installation wrote files into
    std::string stop;         // what stopped the installation and why; empty when nothing did
    std::string filesInUse;   // FILESINUSE: host folders whose add-in files are in use
    std::string restartFile;  // ORVELLA_RESTART: the first file that waits for the restart
    std::string removalError; // ORVELLA_REMOVE_ERROR, or the removal's error step
    std::vector<HostSummary> hosts;  // per found host: what the removal left (no differences: byte for byte)
    int installExit = 0;      // what msiexec /i /qn would end with: 0, 1603 or 3010
    int removeExit = 0;       // msiexec /x /qn, after the restart the installation asked for
    Readiness readiness() const;
};

// Runs the installation and the removal on one snapshot. `properties` are
// msiexec's command line ("NAME=VALUE" read as scenario lines, the values in
// UTF-8, which reach the machine in its code page), after the snapshot's own.
// Never throws: a snapshot that cannot be read, or cannot hold a value, is told so.
MachineCheck checkMachine(const std::filesystem::path& folder, const Package& package,
                          const std::vector<Setting>& properties);

// Every snapshot, `jobs` at a time in worker processes (the simulated
// machine is one per process); the results in the order given.
std::vector<MachineCheck> checkFleet(const std::vector<std::string>& folders, const Package& package,
                                     const std::vector<Setting>& properties, int jobs);

const char* readinessName(Readiness r);
// One line per machine, then the summary line ("N machines: ...").
void printFleet(std::ostream& out, const std::vector<MachineCheck>& machines, bool colour);
// The summary line alone.
std::string fleetSummary(const std::vector<MachineCheck>& machines);
// The JSON report (format 1, command "preflight").
void printFleetJson(std::ostream& out, const std::vector<MachineCheck>& machines, int status);

}  // namespace casim

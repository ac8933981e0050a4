// ca-sim preflight over snapshots: what each machine would see, told the
// same whether the machines run in one process or in workers, and counted as
// `ca-sim run` on each snapshot tells it.
#include "fleet.h"
#include "package.h"
#include "preflight.h"
#include "casim_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path kScenarios = fs::path(CA_SOURCE_DIR) / "tests" / "e2e" / "scenarios";

casim::Package package()
{
    return casim::loadPackage(fs::path(CA_SOURCE_DIR) / "package");
}

using casim_support::scratchFolder;

TEST(Preflight, TellsEachMachineWhatTheInstallerWould)
{
    const std::vector<std::string> folders{(kScenarios / "demo-install-remove").string(),
                                           (kScenarios / "install-unwritable-host").string(),
                                           (kScenarios / "collector-odd-host-folders").string(), "/no/such/snapshot"};
    const auto machines = casim::checkFleet(folders, package(), {}, 2);
    ASSERT_EQ(machines.size(), 4u);

    const casim::MachineCheck& demo = machines[0];
    EXPECT_EQ(demo.readiness(), casim::Readiness::ready);
    EXPECT_EQ(demo.found.size(), 5u);
    EXPECT_EQ(demo.registered, demo.found);
    EXPECT_EQ(demo.deployed, demo.found);
    EXPECT_EQ(demo.installExit, 0);
    for (const auto& h : demo.hosts) EXPECT_TRUE(h.differences.empty()) << h.folder;

    const casim::MachineCheck& locked = machines[1];
    EXPECT_EQ(locked.readiness(), casim::Readiness::stopped);
    EXPECT_EQ(locked.installExit, 1603);
    EXPECT_TRUE(locked.registered.empty());
    EXPECT_TRUE(locked.deployed.empty());
    EXPECT_NE(locked.stop.find("error 25001"), std::string::npos) << locked.stop;
    EXPECT_NE(locked.stop.find("C:\\PTC\\wf4-locked"), std::string::npos) << locked.stop;

    // Blanks and Windows-1252 letters in folders, and a host whose 250-character
    // folder leaves no room for its files.
    const casim::MachineCheck& odd = machines[2];
    EXPECT_EQ(odd.readiness(), casim::Readiness::ready);
    EXPECT_EQ(odd.registered,
              (std::vector<std::string>{"C:\\PTC\\M\xFCller Fr\xE8res\\Wildfire 4.0", "C:\\PTC\\Creo 2.0 M030"}));

    EXPECT_EQ(machines[3].readiness(), casim::Readiness::unreadable);
    EXPECT_EQ(casim::fleetSummary(machines), "4 machines: 2 ready, 0 restart, 0 not restored, 1 stopped, 1 unreadable");
}

// The command line's properties reach every machine: an upgrade's removal
// leaves the hosts to the newer version, so none is as it was.
TEST(Preflight, CommandLinePropertiesReachEveryMachine)
{
    const std::vector<std::string> folders{(kScenarios / "demo-install-remove").string()};
    const casim::Setting upgrade{"UPGRADINGPRODUCTCODE", "{11111111-2222-3333-4444-555555555555}", 0};
    const auto machines = casim::checkFleet(folders, package(), {upgrade}, 1);
    ASSERT_EQ(machines.size(), 1u);
    EXPECT_EQ(machines[0].readiness(), casim::Readiness::notRestored);
    EXPECT_EQ(machines[0].registered.size(), 5u);

    // A value reaches each machine in its code page: a Japanese seat takes
    // what a Western one cannot hold.
    const casim::Setting note{"ORVELLA_NOTE", "\xe8\xa1\xa8", 0};
    const auto seats = casim::checkFleet(
        {(kScenarios / "japanese-host-folders").string(), (kScenarios / "demo-install-remove").string()}, package(),
        {note}, 1);
    ASSERT_EQ(seats.size(), 2u);
    EXPECT_EQ(seats[0].readiness(), casim::Readiness::ready);
    EXPECT_EQ(seats[0].registered.size(), 3u);
    EXPECT_EQ(seats[1].readiness(), casim::Readiness::unreadable);
    EXPECT_EQ(seats[1].unreadable, "--property ORVELLA_NOTE: the value is not text that code page 1252 can hold");
    // Its folders are told in its letters.
    std::ostringstream told;
    casim::printFleet(told, seats, false);
    EXPECT_NE(told.str().find("registered and deployed: C:\\PTC\\\xe8\xa1\xa8\xe3\x82\xbd\\wf4, C:\\\xe8\xa8\xad\xe8\xa8\x88"
                              "\xe5\x9b\xb3\xe8\xa1\xa8, "),
              std::string::npos)
        << told.str();
}

// Exit status of `ca-sim run` on a snapshot; 4 when an error step stopped a sequence.
int runStatus(const std::string& snapshot, const char* sequence)
{
    const std::string command = std::string("'") + CA_SIM_BINARY + "' run '" + snapshot + "' --sequence " + sequence +
                                " --payload > /dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WEXITSTATUS(status);
}

TEST(Preflight, CountsAgreeWithRunOnEachSnapshot)
{
    // The same fleet every CI run; scripts/soak brings fresh seeds.
    const char* fromEnvironment = std::getenv("CA_PREFLIGHT_SEED");
    const std::uint32_t seed = fromEnvironment ? static_cast<std::uint32_t>(std::strtoul(fromEnvironment, nullptr, 10)) : 20261207;
    std::printf("[ preflight  ] 24 generated snapshots, seed %u\n", seed);
    const fs::path folder = scratchFolder("ca-sim-fleet-");
    const auto seats = casim::writeFleet(folder, 24, seed);
    const auto machines = casim::checkFleet(seats, package(), {}, 2);
    int stopped = 0;
    for (std::size_t i = 0; i < seats.size(); ++i) {
        const bool runStopped = runStatus(seats[i], "install") == 4;
        stopped += runStopped;
        EXPECT_EQ(machines[i].readiness() == casim::Readiness::stopped, runStopped) << seats[i];
        EXPECT_EQ(machines[i].installExit, runStopped ? 1603 : 0) << seats[i];
    }
    const auto counted = std::count_if(machines.begin(), machines.end(),
                                       [](const auto& m) { return m.readiness() == casim::Readiness::stopped; });
    EXPECT_EQ(counted, stopped);
    if (!fromEnvironment)
        EXPECT_EQ(casim::fleetSummary(machines), "24 machines: 15 ready, 0 restart, 3 not restored, 6 stopped, 0 unreadable");
    std::error_code ec;
    fs::remove_all(folder, ec);
}

}  // namespace

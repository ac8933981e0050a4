// Random machines through the package's install sequence and then its removal
// sequence: every host folder must come back as it was, a host file that the
// deployment overwrote included (from its backup). The exceptions, each kept
// as narrow as it can be:
//   - an entry of ours that protk.dat held before the installation goes;
//   - a protk.dat whose last line (or the text before a Ctrl-Z) had no line
//     end keeps the line end that the registration gave it;
//   - a protk.dat that held nothing but entries of ours (an earlier version
//     made it) may go from a folder without the host.
// CA_ROUNDTRIP_SEED (fixed unless given) and CA_ROUNDTRIP_MACHINES choose the
// machines; a failure is shrunk to a small machine and saved as a scenario
// that ca-sim replays.
#include "log_truth.h"
#include "random_machine.h"
#include "scenario.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;
using namespace randomized;

class RoundTrip {
public:
    RoundTrip() : package_(casim::loadPackage(std::string(CA_SOURCE_DIR) + "/package"))
    {
        std::error_code ec;
        const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        dir_ = base / ("ca-roundtrip-" + std::to_string(::getpid()));
    }
    ~RoundTrip()
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string check(const Machine& m)
    {
        writeScenario(m, dir_);
        const fs::path driveC = dir_ / "drive_c";
        const Files before = hostFiles(driveC);
        {
            sim::Machine machine(driveC);
            logtruth::Checker truth(machine);
            machine.setCodePage(codePageOf(m));
            machine.registry().importFile(dir_ / "machine.reg");
            machine.setEnv("ALLUSERSPROFILE", "C:\\ProgramData");
            runSequence(machine, package_, "install", startingProperties(m));
            // Count the machines that the installation reached, or the test would prove nothing.
            installed_ += fs::exists(driveC / "ProgramData" / "OvConnector.dll") ? 0 : 1;
            runSequence(machine, package_, "remove", {});
            if (machine.openHandles() != 0) return "a handle was left open";
            if (const auto untrue = truth.finish(); !untrue.empty()) return "the log is not true: " + untrue.front();
            claimLines_ += truth.claimLines();
            effects_ += truth.effects();
        }
        return unexplained(before, hostFiles(driveC));
    }
    // The smallest machine found, one step at a time, that still fails.
    Machine shrink(Machine m)
    {
        for (bool smaller = true; smaller;) {
            smaller = false;
            for (Machine candidate : candidates(m)) {
                if (check(candidate).empty()) continue;
                m = std::move(candidate);
                smaller = true;
                break;
            }
        }
        return m;
    }

private:
    static std::vector<Machine> candidates(const Machine& m)
    {
        std::vector<Machine> out;
        if (m.commandLineFolder) out.push_back(m), out.back().commandLineFolder.reset();
        for (std::size_t i = 0; i < m.hosts.size() && m.hosts.size() > 1; ++i)
            out.push_back(m), out.back().hosts.erase(out.back().hosts.begin() + static_cast<long>(i));
        for (std::size_t i = 0; i < m.hosts.size(); ++i) {
            const Host& h = m.hosts[i];
            for (std::size_t j = 0; j < h.own.size(); ++j)
                out.push_back(m), out.back().hosts[i].own.erase(out.back().hosts[i].own.begin() + static_cast<long>(j));
            for (std::size_t j = 0; h.protk && j < h.protk->size(); ++j)
                out.push_back(m), out.back().hosts[i].protk->erase(out.back().hosts[i].protk->begin() + static_cast<long>(j));
        }
        return out;
    }
public:
    int installed_ = 0;
    long claimLines_ = 0;  // log lines held against the machine
    long effects_ = 0;     // changes the machine saw

private:
    casim::Package package_;
    fs::path dir_;
};

}  // namespace

TEST(RoundTrip, InstallThenRemoveLeavesEveryHostAsItWas)
{
    // The same machines every CI run; scripts/soak brings fresh seeds.
    const unsigned seed = envNumber("CA_ROUNDTRIP_SEED", 20261206);
    const unsigned machines = envNumber("CA_ROUNDTRIP_MACHINES", 1000);
    std::mt19937 rng(seed);
    RoundTrip roundTrip;
    for (unsigned n = 0; n < machines; ++n) {
        const Machine m = randomMachine(rng);
        if (roundTrip.check(m).empty()) continue;
        const Machine small = roundTrip.shrink(m);
        const std::string why = roundTrip.check(small);
        const fs::path saved = fs::temp_directory_path() / ("round-trip-" + std::to_string(seed) + "-" + std::to_string(n));
        writeScenario(small, saved);
        FAIL() << "seed " << seed << ", machine " << n << ": " << why << "\n  replay: ca-sim run " << saved.string();
    }
    std::printf("[ round trip ] %u random machines (%d installed), seed %u; %ld claiming log lines and %ld changes "
                "held against each other\n",
                machines, roundTrip.installed_, seed, roundTrip.claimLines_, roundTrip.effects_);
    EXPECT_GT(roundTrip.installed_, static_cast<int>(machines / 2)) << "too few machines were installed to";
}

// Detection (isProEInstalled) and the check-box list (fillInsatlledProeCB)
// on machines with 1 to 1,000 installations of every release. Each usable
// installation costs a registry subkey and a file lookup of its executable.
#include "support.h"

#include "actions/exports.h"
#include "model/release_table.h"
#include "package.h"
#include "platform/sim/machine_internal.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>

namespace bench {
namespace {

// Every release key the discovery reads, with the folder value it takes.
struct ReleaseKey {
    std::string key;
    const char* folderValue;
    std::string folder;  // below C:\PTC
};

std::vector<ReleaseKey> releaseKeys()
{
    std::vector<ReleaseKey> keys;
    std::set<ca::Slot> seen;  // a release in its first registry location only
    for (const ca::ReleaseLocation& location : ca::kReleaseLocations) {
        const ca::ReleaseSlot& slot = ca::releaseSlot(location.slot);
        if (seen.insert(location.slot).second)
            keys.push_back({std::string(location.parentKey) + "\\" + slot.releaseSubkey, slot.folderValue, slot.name});
    }
    return keys;
}

std::string numbered(const char* prefix, int i)
{
    char text[16];
    std::snprintf(text, sizeof text, "%s%04d", prefix, i);
    return text;
}

// The host folders of `n` installations per release, written once per run.
const fs::path& detectionDrive(int n)
{
    static std::map<int, fs::path> drives;
    auto& drive = drives[n];
    if (!drive.empty()) return drive;
    drive = scratch() / ("hosts-" + std::to_string(n));
    for (const ReleaseKey& release : releaseKeys())
        for (int i = 1; i <= n; ++i)
            writeFile(onDrive(drive, "C:\\PTC\\" + release.folder + "\\" + numbered("i", i) +
                                         "\\x86e_win64\\obj\\xtop.exe"),
                      "MZ");
    return drive;
}

const casim::Package& package()
{
    static const casim::Package p = casim::loadPackage(CA_BENCH_PACKAGE_DIR);
    return p;
}

// A simulated machine whose registry lists `n` installations of every release.
struct DetectionMachine {
    explicit DetectionMachine(int n) : machine(detectionDrive(n))
    {
        for (const ReleaseKey& release : releaseKeys())
            for (int i = 1; i <= n; ++i) {
                const std::string key = release.key + "\\" + numbered("M", i);
                machine.registry().setString(key, release.folderValue,
                                             "C:\\PTC\\" + release.folder + "\\" + numbered("i", i));
                machine.registry().setString(key, "DateCode", std::to_string(2010000 + i));
                machine.registry().setString(key, "Shipcode", numbered("M", i));
            }
        machine.controlRows() = package().controlRows;
    }
    sim::Machine machine;
};

void runAction(benchmark::State& state, unsigned (*action)(platform::MsiHandle), const char* expectedProperty)
{
    const int n = static_cast<int>(state.range(0));
    DetectionMachine m(n);
    for (auto _ : state) {
        action(m.machine.session());
        // The simulated session logs every property change; an installer keeps no such log.
        m.machine.internal().propertyChanges.clear();
    }
    if (m.machine.properties().count(expectedProperty) == 0) state.SkipWithError("no installation was found");
    const double installations = static_cast<double>(n) * ca::kReleaseSlots.size();
    state.counters["installations"] = installations;
    state.counters["per_installation"] =
        benchmark::Counter(installations, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Detection(benchmark::State& state) { runAction(state, ::isProEInstalled, "PROEWF4"); }
void CheckBoxList(benchmark::State& state) { runAction(state, ::fillInsatlledProeCB, "PROE_VER_1"); }

}  // namespace

BENCHMARK(Detection)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(CheckBoxList)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace bench

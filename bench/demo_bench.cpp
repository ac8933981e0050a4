// The demo: ca-sim's whole install and removal sequence on the demo machine,
// including the runner's before-and-after snapshots of every action.
#include "support.h"

#include "demo.h"
#include "package.h"
#include "runner.h"
#include "scenario.h"

#include <benchmark/benchmark.h>

namespace bench {
namespace {

void DemoSequences(benchmark::State& state)
{
    const fs::path folder = scratch() / "demo";
    if (!fs::exists(folder)) casim::writeDemoScenario(folder);
    const casim::Package package = casim::loadPackage(CA_BENCH_PACKAGE_DIR);
    std::size_t actions = 0;
    for (auto _ : state) {
        const casim::Scenario scenario = casim::loadScenario(folder);
        casim::SimulatedRun run(scenario, package);
        actions = run.runSequence("install", package.sequences.at("install"), 0).size();
        actions += run.runSequence("remove", package.sequences.at("remove"), 1).size();
    }
    state.counters["steps"] = static_cast<double>(actions);
}

}  // namespace

BENCHMARK(DemoSequences)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace bench

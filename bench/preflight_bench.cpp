// Preflight over a fleet of generated snapshots, timed once: the whole run
// is the workload (workers, snapshots read, install and removal on each).
#include "support.h"

#include "fleet.h"
#include "package.h"
#include "preflight.h"

#include <chrono>

namespace bench {

double preflightFleet(int machines, int jobs)
{
    const fs::path folder = scratch() / "fleet";
    const auto seats = casim::writeFleet(folder, machines, 20261207);
    const casim::Package package = casim::loadPackage(CA_BENCH_PACKAGE_DIR);
    const auto start = std::chrono::steady_clock::now();
    const auto checked = casim::checkFleet(seats, package, {}, jobs);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    for (const auto& m : checked)
        if (m.readiness() == casim::Readiness::unreadable) return -1;
    return took.count();
}

}  // namespace bench

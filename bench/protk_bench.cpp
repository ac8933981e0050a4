// Registration-file editing through the simulated file system on files that
// hold other add-ins' entries, next to `cp` of the same file on the same disk.
#include "support.h"

#include "platform/sim/machine.h"
#include "core/session.h"
#include "registration/registration_file.h"

#include <benchmark/benchmark.h>

namespace bench {
namespace {

std::uintmax_t sizeArg(const benchmark::State& state) { return static_cast<std::uintmax_t>(state.range(0)); }

void finish(benchmark::State& state, const ProtkFixture& f)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.size));
    state.counters["file_bytes"] = static_cast<double>(f.size);
}

// Appending reads the whole file for an existing entry, then adds one.
void ProtkAppend(benchmark::State& state)
{
    const ProtkFixture& f = protkFixture(sizeArg(state));
    fs::copy_file(f.pristine, f.file, fs::copy_options::overwrite_existing);
    sim::Machine machine(f.driveC);
    for (auto _ : state) {
        ca::addAuxAppEntry(ca::Session(machine.session(), "bench"), f.folder);
        state.PauseTiming();
        const bool appended = fs::file_size(f.file) > f.size;
        fs::resize_file(f.file, f.size);
        state.ResumeTiming();
        if (!appended) {
            state.SkipWithError("nothing was appended");
            break;
        }
    }
    finish(state, f);
}

// Removal copies the file without the entry and replaces the original.
void ProtkRemove(benchmark::State& state)
{
    const ProtkFixture& f = protkFixture(sizeArg(state));
    sim::Machine machine(f.driveC);
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(f.withEntry, f.file, fs::copy_options::overwrite_existing);
        state.ResumeTiming();
        ca::removeAuxAppEntry(ca::Session(machine.session(), "bench"), f.folder);
        state.PauseTiming();
        const bool removed = fs::file_size(f.file) < fs::file_size(f.withEntry);
        state.ResumeTiming();
        if (!removed) {
            state.SkipWithError("the entry was not removed");
            break;
        }
    }
    finish(state, f);
}

// The baseline: `cp` of the same file, into a new file next to it.
void ProtkCp(benchmark::State& state)
{
    const ProtkFixture& f = protkFixture(sizeArg(state));
    const fs::path target = f.file.parent_path() / "protk-copy.dat";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(target);
        state.ResumeTiming();
        if (!runProgram({"cp", f.withEntry.string(), target.string()})) {
            state.SkipWithError("cp failed");
            break;
        }
    }
    fs::remove(target);
    finish(state, f);
}

void sizes(benchmark::internal::Benchmark* b)
{
    for (const std::uintmax_t size : kProtkSizes) b->Arg(static_cast<std::int64_t>(size));
    b->UseRealTime()->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(ProtkAppend)->Apply(sizes);
BENCHMARK(ProtkRemove)->Apply(sizes);
BENCHMARK(ProtkCp)->Apply(sizes);

}  // namespace bench

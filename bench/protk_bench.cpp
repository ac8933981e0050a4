// Registration-file editing through the simulated file system on files that
// hold other add-ins' entries, next to `cp` of the same file on the same disk.
#include "support.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

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

// The baseline, the honest floor for a filtered copy: the same file read and
// written in 64 KB blocks into a new file beside it, closed, and renamed over
// the original, as the removal does, without looking at a byte.
void ProtkCopy(benchmark::State& state)
{
    const ProtkFixture& f = protkFixture(sizeArg(state));
    const fs::path temporary = f.file.parent_path() / "protk.tmp";
    std::vector<char> block(64 * 1024);
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(f.withEntry, f.file, fs::copy_options::overwrite_existing);
        state.ResumeTiming();
        const int in = ::open(f.file.c_str(), O_RDONLY);
        const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        bool copied = in >= 0 && out >= 0;
        for (ssize_t got; copied && (got = ::read(in, block.data(), block.size())) > 0;)
            copied = ::write(out, block.data(), static_cast<std::size_t>(got)) == got;
        if (in >= 0) ::close(in);
        copied = out >= 0 && ::close(out) == 0 && copied;
        if (!copied || ::rename(temporary.c_str(), f.file.c_str()) != 0) {
            state.SkipWithError("the copy failed");
            break;
        }
    }
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
BENCHMARK(ProtkCopy)->Apply(sizes);

}  // namespace bench

// Shared pieces of the benchmarks: scratch folders on the build machine's
// disk, file writing, the `cp` baseline, peak-memory readings and the sizes
// that the table reports.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

namespace fs = std::filesystem;

// A folder below the system's temporary folder, removed at exit. Every
// workload and its `cp` baseline work inside it, so both use the same disk.
const fs::path& scratch();

// Writes `bytes` to a host file, creating its folders.
void writeFile(const fs::path& file, const std::string& bytes);
// Writes a file of `size` bytes made of repetitions of `unit`, without
// holding the whole file in memory.
void writeRepeated(const fs::path& file, const std::string& unit, std::uintmax_t size);

// Runs a program (found on PATH) and waits for it; false unless it exits 0.
bool runProgram(const std::vector<std::string>& args);

// Peak resident set size of this process (VmHWM), in KiB.
long peakRssKiB();

// The host folder of a Windows path on a simulated C: drive.
fs::path onDrive(const fs::path& driveC, const std::string& windowsPath);

// Sizes of the registration files that the table reports on.
inline constexpr std::uintmax_t kProtkSizes[] = {4u << 10, 1u << 20, 16u << 20, 64u << 20};
std::string sizeLabel(std::uintmax_t bytes);

// Registration-file fixtures: a host folder C:\hosts\h<label> with the host
// executable and a text\protk.dat of other add-ins' entries; `pristine` is that
// content, `withEntry` the same with the add-in's entry appended.
struct ProtkFixture {
    fs::path driveC;
    std::string folder;  // Windows form
    fs::path file;       // the host's protk.dat
    fs::path pristine;
    fs::path withEntry;
    std::uintmax_t size = 0;
};
const ProtkFixture& protkFixture(std::uintmax_t size);

// Child-process mode: runs one registration-file edit on a fresh simulated
// machine and prints the growth of the peak RSS in KiB. Returns the exit status.
int rssProbe(const std::string& kind, const std::string& driveC, const std::string& folder);

// Seconds that ca-sim preflight takes over `machines` generated snapshots
// (written first, outside the time) with `jobs` workers; -1 when a machine
// could not be read.
double preflightFleet(int machines, int jobs);

}  // namespace bench

// Runs the benchmarks (each workload next to its baseline, repeated and
// interleaved at random so that both see the same machine load), then prints
// one table: every ratio with its target. `--verbose` also shows Google
// Benchmark's own report; `--rss-probe KIND DRIVE FOLDER` is the child mode
// that measures peak memory in a fresh process.
#include "support.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using bench::fs::path;

class Collector : public benchmark::ConsoleReporter {
public:
    explicit Collector(bool verbose) : verbose_(verbose) {}

    bool ReportContext(const Context& context) override
    {
        return verbose_ ? ConsoleReporter::ReportContext(context) : true;
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            const std::string key = run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
            if (run.error_occurred) {
                errors_[key] = run.error_message;
                continue;
            }
            seconds_[key].push_back(run.real_accumulated_time / static_cast<double>(run.iterations));
        }
        if (verbose_)
            ConsoleReporter::ReportRuns(runs);
        else
            std::cerr << '.' << std::flush;
    }

    // Median seconds per iteration; negative when the benchmark did not run.
    double median(const std::string& key) const
    {
        auto it = seconds_.find(key);
        if (it == seconds_.end() || it->second.empty()) return -1;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    const std::map<std::string, std::string>& errors() const { return errors_; }

private:
    bool verbose_;
    std::map<std::string, std::vector<double>> seconds_;
    std::map<std::string, std::string> errors_;
};

std::string fixed(double value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

std::string duration(double seconds)
{
    if (seconds < 0) return "n/a";
    if (seconds < 1e-3) return fixed(seconds * 1e6, 2) + " us";
    if (seconds < 1) return fixed(seconds * 1e3, 2) + " ms";
    return fixed(seconds, 2) + " s";
}

std::string throughput(double bytes, double seconds)
{
    if (seconds <= 0) return "n/a";
    return fixed(bytes / seconds / (1 << 20), 0) + " MB/s";
}

struct Row {
    std::string workload, measured, baseline, ratio, target, verdict;
};

// Peak RSS growth (KiB) of one edit of the file, in a fresh child process.
long probeRss(const char* self, const std::string& kind, const bench::ProtkFixture& f)
{
    bench::fs::copy_file(kind == "remove" ? f.withEntry : f.pristine, f.file,
                         bench::fs::copy_options::overwrite_existing);
    const std::string command = std::string("'") + self + "' --rss-probe " + kind + " '" + f.driveC.string() + "' '" +
                                f.folder + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char line[64] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = ::pclose(pipe);
    bench::fs::copy_file(f.pristine, f.file, bench::fs::copy_options::overwrite_existing);
    return read && status == 0 ? std::strtol(line, nullptr, 10) : -1;
}

std::string loadAverage()
{
    double load[3] = {};
    if (::getloadavg(load, 3) != 3) return "unknown";
    return fixed(load[0], 2) + " " + fixed(load[1], 2) + " " + fixed(load[2], 2);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--rss-probe") return bench::rssProbe(argv[2], argv[3], argv[4]);

    bool verbose = false;
    std::vector<std::string> args{argv[0], "--benchmark_repetitions=5", "--benchmark_enable_random_interleaving=true",
                                  "--benchmark_min_time=0.1"};
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--verbose")
            verbose = true;
        else
            args.emplace_back(argv[i]);
    }
    std::vector<char*> cargs;
    for (auto& a : args) cargs.push_back(a.data());
    int cargc = static_cast<int>(cargs.size());
    benchmark::Initialize(&cargc, cargs.data());
    if (benchmark::ReportUnrecognizedArguments(cargc, cargs.data())) return 2;

    const std::string loadBefore = loadAverage();
    // The fixtures are written before any timing starts.
    for (const auto size : bench::kProtkSizes) bench::protkFixture(size);

    Collector collector(verbose);
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    std::cerr << "\n";

    std::vector<Row> rows;
    auto verdict = [](bool ok) { return std::string(ok ? "yes" : "NO"); };

    // 1. Per-installation time stays flat.
    const double installationsPerN = 7;
    for (const char* action : {"Detection", "CheckBoxList"}) {
        std::string measured;
        double first = -1, last = -1;
        for (const int n : {1, 10, 100, 1000}) {
            const double t = collector.median(std::string(action) + "/" + std::to_string(n));
            const double perInstallation = t / (installationsPerN * n);
            if (n == 1) first = perInstallation;
            if (n == 1000) last = perInstallation;
            measured += (measured.empty() ? "" : " / ") + (t < 0 ? std::string("n/a") : fixed(perInstallation * 1e6, 2));
        }
        const double ratio = first > 0 && last > 0 ? last / first : -1;
        rows.push_back({std::string(action == std::string("Detection") ? "detection (isProEInstalled)"
                                                                          : "check-box list (fillInsatlledProeCB)") +
                            ", us per installation at 1/10/100/1000 per release",
                        measured, "1 per release", "1000:1 " + fixed(ratio, 2), "<= 2", verdict(ratio > 0 && ratio <= 2)});
    }

    // 2. protk.dat editing against a plain block copy with the same rename, and peak memory.
    for (const auto size : bench::kProtkSizes) {
        const std::string arg = "/" + std::to_string(size);
        const double bytes = static_cast<double>(bench::protkFixture(size).size);
        const double copy = collector.median("ProtkCopy" + arg);
        for (const char* kind : {"ProtkRemove", "ProtkAppend"}) {
            const double t = collector.median(kind + arg);
            const double ratio = t > 0 && copy > 0 ? copy / t : -1;
            const bool targeted = size == (64u << 20) && std::string(kind) == "ProtkRemove";
            rows.push_back({std::string("protk.dat ") + (kind == std::string("ProtkRemove") ? "removal" : "append") +
                                ", " + bench::sizeLabel(size),
                            duration(t) + " (" + throughput(bytes, t) + ")",
                            "copy " + duration(copy) + " (" + throughput(bytes, copy) + ")",
                            "x" + fixed(ratio, 2) + " copy throughput", targeted ? ">= 0.5" : "-",
                            targeted ? verdict(ratio >= 0.5) : "-"});
        }
    }
    for (const char* kind : {"remove", "append"}) {
        const long growth = probeRss(argv[0], kind, bench::protkFixture(64u << 20));
        rows.push_back({std::string("protk.dat ") + (kind == std::string("remove") ? "removal" : "append") +
                            ", 64 MB: peak RSS growth (fresh process)",
                        growth < 0 ? "n/a" : std::to_string(growth) + " KiB", "-", "-", "< 2048 KiB",
                        verdict(growth >= 0 && growth < 2048)});
    }

    // 3. Deployment against cp.
    {
        const double t = collector.median("Deployment");
        const double cp = collector.median("DeploymentCp");
        const double ratio = t > 0 && cp > 0 ? t / cp : -1;
        rows.push_back({"deployment into 8 listed installations (3 large files, 64 MB each)", duration(t),
                        "cp " + duration(cp), "x" + fixed(ratio, 2) + " cp time", "<= 1.3",
                        verdict(ratio > 0 && ratio <= 1.3)});
    }

    // 4. The demo.
    rows.push_back({"demo install + removal sequence (ca-sim, with its snapshots)",
                    duration(collector.median("DemoSequences")), "-", "-", "-", "-"});

    // 5. Preflight over a fleet, once: 1000 generated snapshots on two workers.
    {
        const double seconds = bench::preflightFleet(1000, 2);
        rows.push_back({"preflight: 1000 generated snapshots, install + removal each, 2 workers",
                        seconds < 0 ? "n/a" : duration(seconds) + " (" + duration(seconds / 1000) + " per machine)", "-",
                        "-", "< 60 s", verdict(seconds > 0 && seconds < 60)});
    }

    std::size_t widths[6] = {8, 8, 8, 5, 6, 3};
    const Row header{"workload", "measured (median)", "baseline", "ratio", "target", "met"};
    auto widen = [&](const Row& r) {
        const std::string* cells[] = {&r.workload, &r.measured, &r.baseline, &r.ratio, &r.target, &r.verdict};
        for (int i = 0; i < 6; ++i) widths[i] = std::max(widths[i], cells[i]->size());
    };
    widen(header);
    for (const Row& r : rows) widen(r);
    auto print = [&](const Row& r) {
        const std::string* cells[] = {&r.workload, &r.measured, &r.baseline, &r.ratio, &r.target, &r.verdict};
        std::cout << "|";
        for (int i = 0; i < 6; ++i) std::cout << " " << *cells[i] << std::string(widths[i] - cells[i]->size(), ' ') << " |";
        std::cout << "\n";
    };
    print(header);
    std::cout << "|";
    for (std::size_t w : widths) std::cout << std::string(w + 2, '-') << "|";
    std::cout << "\n";
    for (const Row& r : rows) print(r);
    std::cout << "\nload average before: " << loadBefore << ", after: " << loadAverage() << " (1/5/15 min)\n";
    for (const auto& [name, message] : collector.errors()) std::cout << "error in " << name << ": " << message << "\n";
    return collector.errors().empty() ? 0 : 1;
}

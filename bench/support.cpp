#include "support.h"

#include "platform/sim/machine.h"
#include "core/session.h"
#include "registration/registration_file.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>

extern char** environ;

namespace bench {

namespace {
fs::path g_scratch;

void removeScratch()
{
    std::error_code ec;
    if (!g_scratch.empty()) fs::remove_all(g_scratch, ec);
}

// Other add-ins' entries, as years of installations leave them in a host's file.
const std::string kOtherEntries =
    "name VendorTools\r\n"
    "startup dll\r\n"
    "exec_file C:\\Vendor\\VendorTools\\x86e_win64\\vendortools.dll\r\n"
    "text_dir C:\\Vendor\\VendorTools\\text\r\n"
    "delay_start FALSE\r\n"
    "end\r\n"
    "\r\n";
}  // namespace

const fs::path& scratch()
{
    if (g_scratch.empty()) {
        g_scratch = fs::temp_directory_path() / ("ca-bench-" + std::to_string(::getpid()));
        fs::create_directories(g_scratch);
        std::atexit(removeScratch);
    }
    return g_scratch;
}

void writeFile(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

void writeRepeated(const fs::path& file, const std::string& unit, std::uintmax_t size)
{
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    std::string block;
    while (block.size() < (64u << 10)) block += unit;
    std::uintmax_t written = 0;
    while (written + block.size() <= size) {
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
        written += block.size();
    }
    while (written < size) {
        out << unit;
        written += unit.size();
    }
}

bool runProgram(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

long peakRssKiB()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

fs::path onDrive(const fs::path& driveC, const std::string& windowsPath)
{
    std::string p = windowsPath;
    if (p.size() >= 3 && p[1] == ':') p = p.substr(3);
    for (char& c : p)
        if (c == '\\') c = '/';
    return driveC / p;
}

std::string sizeLabel(std::uintmax_t bytes)
{
    if (bytes >= (1u << 20)) return std::to_string(bytes >> 20) + " MB";
    return std::to_string(bytes >> 10) + " KB";
}

const ProtkFixture& protkFixture(std::uintmax_t size)
{
    static std::map<std::uintmax_t, std::unique_ptr<ProtkFixture>> fixtures;
    auto& slot = fixtures[size];
    if (slot) return *slot;
    auto f = std::make_unique<ProtkFixture>();
    const std::string label = std::to_string(size >> 10) + "k";
    f->driveC = scratch() / ("protk-" + label);
    f->folder = "C:\\hosts\\h" + label;
    writeFile(onDrive(f->driveC, f->folder + "\\x86e_win64\\obj\\xtop.exe"), "MZ");
    f->file = onDrive(f->driveC, f->folder + "\\text\\protk.dat");
    f->pristine = scratch() / ("protk-" + label + ".dat");
    f->withEntry = scratch() / ("protk-" + label + "-with-entry.dat");
    writeRepeated(f->pristine, kOtherEntries, size);
    f->size = fs::file_size(f->pristine);
    // The entry exactly as the library appends it.
    fs::create_directories(f->file.parent_path());
    fs::copy_file(f->pristine, f->file, fs::copy_options::overwrite_existing);
    {
        sim::Machine machine(f->driveC);
        ca::addAuxAppEntry(ca::Session(machine.session(), "bench"), f->folder);
    }
    fs::copy_file(f->file, f->withEntry, fs::copy_options::overwrite_existing);
    fs::copy_file(f->pristine, f->file, fs::copy_options::overwrite_existing);
    slot = std::move(f);
    return *slot;
}

int rssProbe(const std::string& kind, const std::string& driveC, const std::string& folder)
{
    sim::Machine machine(driveC);
    const long before = peakRssKiB();
    if (kind == "remove")
        ca::removeAuxAppEntry(ca::Session(machine.session(), "bench"), folder);
    else if (kind == "append")
        ca::addAuxAppEntry(ca::Session(machine.session(), "bench"), folder);
    else
        return 2;
    const long after = peakRssKiB();
    std::cout << (after - before) << "\n";
    return before < 0 || after < 0 ? 1 : 0;
}

}  // namespace bench

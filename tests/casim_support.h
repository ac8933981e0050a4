// What the tests of ca-sim share: scratch folders, whole files, a command's
// output and exit status, the one-host machine, and why scenario text is refused.
#pragma once

#include "scenario.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace casim_support {

namespace fs = std::filesystem;

// A Wildfire 4.0 host registered at C:\PTC\wf4, as machine.reg text.
inline const std::string kWf4Registry =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\PTC\\Pro/ENGINEER\\Wildfire 4.0\\M040]\r\n"
    "\"InstallDir\"=\"C:\\\\PTC\\\\wf4\"\r\n\"DateCode\"=\"2008040\"\r\n\"Shipcode\"=\"M040\"\r\n";

inline fs::path scratchFolder(const char* prefix)
{
    std::random_device rd;
    return fs::temp_directory_path() / (prefix + std::to_string(rd()) + std::to_string(rd()));
}

// "" when the file cannot be read.
inline std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline fs::path writeFile(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

struct Output {
    int status;
    std::string out;
};

// A shell command's standard output and exit status.
inline Output runCommand(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    std::array<char, 4096> buffer{};
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
    const int status = pclose(pipe);
    return {WEXITSTATUS(status), out};
}

// Why scenario.txt text is refused; "accepted" when it is not.
inline std::string errorOf(const std::string& text, const std::string& file = "s.txt")
{
    try {
        casim::parseScenarioText(text, file);
    } catch (const casim::ScenarioError& e) {
        return e.what();
    }
    return "accepted";
}

}  // namespace casim_support

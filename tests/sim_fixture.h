// A fresh simulated machine per test, over its own temporary C: drive.
#pragma once

#include "platform/sim/machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>

class SimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        root_ = std::filesystem::temp_directory_path() / ("ca-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(root_ / "c");
        machine_ = std::make_unique<sim::Machine>(root_ / "c");
    }
    void TearDown() override
    {
        if (machine_) EXPECT_EQ(machine_->openHandles(), 0) << "a handle was left open";
        machine_.reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    sim::Machine& machine() { return *machine_; }
    pf::MsiHandle session() { return machine_->session(); }

    // Host path of a path on C:, given in Windows form without the drive ("PTC\\wf4\\x").
    std::filesystem::path onC(const std::string& windowsPath) const
    {
        std::string p = windowsPath;
        for (char& c : p)
            if (c == '\\') c = '/';
        return root_ / "c" / p;
    }
    void writeFile(const std::string& windowsPath, const std::string& bytes = "")
    {
        const auto p = onC(windowsPath);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    std::optional<std::string> readFile(const std::string& windowsPath) const
    {
        std::ifstream in(onC(windowsPath), std::ios::binary);
        if (!in) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& windowsPath) const { return std::filesystem::exists(onC(windowsPath)); }
    void makeFolder(const std::string& windowsPath) { std::filesystem::create_directories(onC(windowsPath)); }
    // A usable host installation: C:\<folder> with x86e_win64\obj\xtop.exe.
    void makeHost(const std::string& folder) { writeFile(folder + "\\x86e_win64\\obj\\xtop.exe", "MZ"); }

    void setProperty(const std::string& name, const std::string& value)
    {
        if (value.empty())
            machine_->properties().erase(name);
        else
            machine_->properties()[name] = value;
    }
    // "" when the property is not set.
    std::string property(const std::string& name)
    {
        auto it = machine_->properties().find(name);
        return it == machine_->properties().end() ? std::string() : it->second;
    }
    bool hasProperty(const std::string& name) { return machine_->properties().count(name) != 0; }

    std::filesystem::path root_;
    std::unique_ptr<sim::Machine> machine_;
};

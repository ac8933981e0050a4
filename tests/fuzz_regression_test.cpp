// Replays every saved fuzz input (the seed corpora and the inputs that once
// broke a target) through the fuzz targets' own bodies, in the normal build.
#include "targets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace fuzz {
void PrintTo(const Target& target, std::ostream* out) { *out << target.name; }
}  // namespace fuzz

namespace {

const fs::path kFuzzDir = fs::path(__FILE__).parent_path().parent_path() / "fuzz";

std::vector<fs::path> savedInputs(const std::string& target)
{
    std::vector<fs::path> files;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path folder = kFuzzDir / kind / target;
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzRegression : public ::testing::TestWithParam<fuzz::Target> {};

TEST_P(FuzzRegression, SavedInputsKeepEveryInvariant)
{
    const fuzz::Target& target = GetParam();
    const std::vector<fs::path> files = savedInputs(target.name);
    EXPECT_FALSE(files.empty()) << "no seed corpus for " << target.name;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        ASSERT_TRUE(in) << file;
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        try {
            target.run(bytes);
        } catch (const std::exception& error) {
            ADD_FAILURE() << file << ": " << error.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression, ::testing::ValuesIn(fuzz::targets()),
                         [](const ::testing::TestParamInfo<fuzz::Target>& info) { return std::string(info.param.name); });

}  // namespace

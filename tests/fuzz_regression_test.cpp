// Replays every saved fuzz input (the seed corpora and the inputs that once
// broke a target) through the fuzz targets' own bodies, in the normal build.
#include "targets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

namespace fs = std::filesystem;

namespace fuzz {
void PrintTo(const Target& target, std::ostream* out) { *out << target.name; }
}  // namespace fuzz

namespace {

class FuzzRegression : public ::testing::TestWithParam<fuzz::Target> {};

TEST_P(FuzzRegression, SavedInputsKeepEveryInvariant)
{
    const fuzz::Target& target = GetParam();
    int inputs = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path folder = fs::path(__FILE__).parent_path().parent_path() / "fuzz" / kind / target.name;
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;
            ++inputs;
            std::ifstream in(entry.path(), std::ios::binary);
            try {
                target.run(std::string((std::istreambuf_iterator<char>(in)), {}));
            } catch (const std::exception& error) {
                ADD_FAILURE() << entry.path() << ": " << error.what();
            }
        }
    }
    EXPECT_GT(inputs, 0) << "no seed corpus for " << target.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression, ::testing::ValuesIn(fuzz::targets()),
                         [](const ::testing::TestParamInfo<fuzz::Target>& info) { return std::string(info.param.name); });

}  // namespace

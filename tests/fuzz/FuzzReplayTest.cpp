// Every seed of the fuzz corpus and every input that once made a fuzz target
// fail (fuzz/regressions/<target>/), run through the targets' own entry
// points on every ordinary test run: a fault found by fuzzing stays found.
#include "fuzz/FuzzTarget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> g_failures;

void Record(const char* what, const char* file, int line) {
    g_failures.push_back(std::string(what) + " (" + file + ":" + std::to_string(line) + ")");
}

struct CTarget {
    const char* Name;
    int (*Function)(const uint8_t*, size_t);
};

constexpr CTarget kTargets[] = {
    {"FuzzHexFile", FuzzHexFile},       {"FuzzDeviceList", FuzzDeviceList}, {"FuzzSettings", FuzzSettings},
    {"FuzzSimPackets", FuzzSimPackets}, {"FuzzChipFile", FuzzChipFile},
};

void PrintTo(const CTarget& target, std::ostream* out) {
    *out << target.Name;
}

// The inputs kept for a target, in a stable order.
std::vector<fs::path> Inputs(const std::string& target) {
    std::vector<fs::path> files;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path folder = fs::path(KVX3_SOURCE_DIR) / "fuzz" / kind / target;
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            if (it->is_regular_file()) {
                files.push_back(it->path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzReplay : public ::testing::TestWithParam<CTarget> {};

} // namespace

TEST_P(FuzzReplay, EveryKeptInputPassesItsTarget) {
    kvx3_fuzz::Handler() = Record;
    const std::vector<fs::path> inputs = Inputs(GetParam().Name);
    EXPECT_FALSE(inputs.empty()) << "every target has a seed corpus";
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        g_failures.clear();
        GetParam().Function(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        for (const std::string& failure : g_failures) {
            ADD_FAILURE() << input.string() << ": " << failure;
        }
    }
    kvx3_fuzz::Handler() = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(kTargets),
                         [](const auto& target) { return std::string(target.param.Name); });

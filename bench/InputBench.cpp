// Speed of the readers against inputs built to be slow: a settings file of
// many values (its reader was once quadratic in them) and a catalogue entry
// whose core width drives the legend loops (once 113 s for 2^31 - 1).
#include "device/DeviceList.h"
#include "settings/KeyFile.h"
#include "settings/KeyTree.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

// n values in one key and n / 10 keys of one value each.
std::string SettingsText(int64_t n) {
    std::string text = "[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Big]\n";
    for (int64_t i = 0; i < n; ++i) {
        text += "\"Value" + std::to_string(i) + "\"=dword:00000001\n";
    }
    for (int64_t i = 0; i < n / 10; ++i) {
        text +=
            "[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Keys\\K" + std::to_string(i) + "]\n\"N\"=\"x\"\n";
    }
    return text;
}

void BM_ParseSettings(benchmark::State& state) {
    const std::string text = SettingsText(state.range(0));
    for (auto _ : state) {
        CKeyNode app;
        app.Name = "KVX3";
        ParseKeyFile(text, "Quorvane", app);
        benchmark::DoNotOptimize(app.SubKeys.size());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseSettings)
    ->RangeMultiplier(10)
    ->Range(100, 100000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

void BM_LoadWideCoreEntry(benchmark::State& state) {
    const std::string path = "/tmp/kvx3-bench-wide-" + std::to_string(state.range(0)) + ".txt";
    std::string legend;
    for (int i = 0; i < 16 * 14; ++i) {
        legend += "[B" + std::to_string(i) + "]";
    }
    std::ofstream(path) << "Wide\t1024:" << state.range(0) << "\t64\t" << legend
                        << "\t18\t0\t0\t0\t0\t2\t1\t1\t:\t-\t\n";
    for (auto _ : state) {
        CDeviceList device;
        device.ListPath = path;
        benchmark::DoNotOptimize(device.LoadDevice("Wide"));
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_LoadWideCoreEntry)->Arg(14)->Arg(2147483647)->Unit(benchmark::kMicrosecond);

} // namespace

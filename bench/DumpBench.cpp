// Speed of the main window's memory dump texts: the whole program memory of
// a 2 MiB image (far beyond any catalogue device) and of the largest images
// the catalogue allows, and the EEPROM dump.
#include "device/PicDevice.h"
#include "ui/MemoryDump.h"

#include <benchmark/benchmark.h>
#include <random>

namespace {

void MakeImage(CPicDevice& d, int32_t core, size_t programBytes, size_t eepromBytes) {
    std::mt19937 rng(11);
    d.CoreWidth = core;
    d.ProgramBytes = static_cast<uint32_t>(programBytes);
    d.ProgramData.resize(programBytes);
    for (uint8_t& b : d.ProgramData) {
        b = static_cast<uint8_t>(rng());
    }
    d.EepromSize = static_cast<uint32_t>(eepromBytes);
    d.EepromData.resize(eepromBytes);
    for (uint8_t& b : d.EepromData) {
        b = static_cast<uint8_t>(rng());
    }
}

void ProgramDump(benchmark::State& state, int32_t core, size_t bytes) {
    CPicDevice d;
    MakeImage(d, core, bytes, 0);
    size_t length = 0;
    for (auto _ : state) {
        std::string text = FormatProgramDump(d);
        length = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["text_MB"] = static_cast<double>(length) / 1e6;
}

void BM_ProgramDump2MiBPic18(benchmark::State& state) {
    ProgramDump(state, kCorePic18, 2 * 1024 * 1024);
}
void BM_ProgramDump128KiBPic18(benchmark::State& state) {
    ProgramDump(state, kCorePic18, 128 * 1024);
}
void BM_ProgramDump8KWordsMidRange(benchmark::State& state) {
    ProgramDump(state, kCoreMidRange, 16 * 1024);
}

void BM_EepromDump1KiB(benchmark::State& state) {
    CPicDevice d;
    MakeImage(d, kCorePic18, 0, 1024);
    for (auto _ : state) {
        std::string text = FormatEepromDump(d);
        benchmark::DoNotOptimize(text);
    }
}

} // namespace

BENCHMARK(BM_ProgramDump2MiBPic18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgramDump128KiBPic18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgramDump8KWordsMidRange)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EepromDump1KiB)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();

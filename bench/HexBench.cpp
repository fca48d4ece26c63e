// Speed of the hex file reader and writer on full images of both families.
#include "device/DeviceList.h"
#include "image/HexFile.h"

#include <benchmark/benchmark.h>
#include <random>
#include <sstream>

namespace {

void FillRandom(CHexFile& hex, bool midRange) {
    std::mt19937 rng(7);
    for (size_t i = 0; i < hex.ProgramData.size(); ++i) {
        hex.ProgramData[i] = static_cast<uint8_t>(rng());
        if (midRange && i % 2 == 1) {
            hex.ProgramData[i] &= 0x3F;
        }
    }
    for (uint8_t& b : hex.EepromData) {
        b = static_cast<uint8_t>(rng());
    }
}

void MakeImage(CHexFile& hex, bool midRange) {
    if (midRange) {
        CDeviceList device; // 4K words, like the default device
        device.ProgramSize = 8192;
        device.EepromSize = 256;
        device.AllocProgram();
        device.AllocEeprom();
        hex.AssignFrom(device);
    } else {
        hex.CoreWidth = 8;
        hex.ProgramSize = 128 * 1024;
        hex.EepromSize = 1024;
        hex.AllocProgram();
        hex.AllocEeprom();
    }
    FillRandom(hex, midRange);
}

void BM_FormatImage(benchmark::State& state) {
    CHexFile hex;
    MakeImage(hex, state.range(0) == 14);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string text = hex.FormatImage();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_ReadRecords(benchmark::State& state) {
    CHexFile source;
    MakeImage(source, state.range(0) == 14);
    const std::string text = source.FormatImage();
    CHexFile hex;
    hex.AssignFrom(source);
    for (auto _ : state) {
        std::istringstream in(text);
        hex.ReadRecords(in);
        benchmark::DoNotOptimize(hex.Checksum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

} // namespace

BENCHMARK(BM_FormatImage)->Arg(14)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRecords)->Arg(14)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

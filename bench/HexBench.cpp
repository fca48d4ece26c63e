// Intel HEX throughput, in MB/s of hex text (by the CPU time the reader or
// writer took, so that other load on the machine does not count), on the
// largest images of both families: a 128 KiB PIC18 image (with 1 KiB of EEPROM) and an 8K-word
// mid-range image (with 256 bytes of EEPROM), every byte random. LoadHex and
// SaveHex go through the file system (a file in the temporary folder; SaveHex
// with its fsync and rename), ReadRecords and FormatImage are their parts in
// memory.
#include "device/DeviceList.h"
#include "image/HexFile.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <unistd.h>

namespace {

void MakeImage(CHexFile& hex, int32_t core) {
    hex.CoreWidth = core;
    if (core == kCoreMidRange) {
        hex.ProgramSize = 8192;
        hex.EepromSize = 256;
    } else {
        hex.ProgramSize = 128 * 1024;
        hex.EepromSize = 1024;
    }
    hex.AllocProgram();
    hex.AllocEeprom();
    std::mt19937 rng(7);
    for (size_t i = 0; i < hex.ProgramData.size(); ++i) {
        hex.ProgramData[i] =
            static_cast<uint8_t>(rng() & (core == kCoreMidRange && i % 2 == 1 ? 0x3F : 0xFF));
    }
    for (uint8_t& b : hex.EepromData) {
        b = static_cast<uint8_t>(rng());
    }
}

std::string TempPath(const char* tag) {
    return (std::filesystem::temp_directory_path() /
            ("kvx3_bench_" + std::to_string(::getpid()) + "_" + tag + ".hex"))
        .string();
}

void Rate(benchmark::State& state, size_t textBytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(textBytes));
    state.counters["text_KB"] = static_cast<double>(textBytes) / 1000.0;
}

void BM_FormatImage(benchmark::State& state, int32_t core) {
    CHexFile hex;
    MakeImage(hex, core);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string text = hex.FormatImage();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    Rate(state, bytes);
}

void BM_SaveHex(benchmark::State& state, int32_t core) {
    CHexFile hex;
    MakeImage(hex, core);
    const std::string path = TempPath("save");
    for (auto _ : state) {
        if (!hex.SaveHex(path)) {
            state.SkipWithError("cannot write the temporary file");
            break;
        }
    }
    Rate(state, hex.FormatImage().size());
    std::filesystem::remove(path);
}

void BM_ReadRecords(benchmark::State& state, int32_t core) {
    CHexFile source;
    MakeImage(source, core);
    const std::string text = source.FormatImage();
    CHexFile hex;
    hex.AssignFrom(source);
    for (auto _ : state) {
        std::istringstream in(text);
        hex.ReadRecords(in);
        benchmark::DoNotOptimize(hex.Checksum);
    }
    Rate(state, text.size());
}

void BM_LoadHex(benchmark::State& state, int32_t core) {
    CHexFile source;
    MakeImage(source, core);
    const std::string path = TempPath("load");
    if (!source.SaveHex(path)) {
        state.SkipWithError("cannot write the temporary file");
        return;
    }
    CHexFile hex;
    hex.AssignFrom(source);
    for (auto _ : state) {
        if (!hex.LoadHex(path)) {
            state.SkipWithError("cannot read the temporary file");
            break;
        }
        benchmark::DoNotOptimize(hex.Checksum);
    }
    if (hex.ProgramData != source.ProgramData) {
        state.SkipWithError("the file did not load back to the same image");
    }
    Rate(state, source.FormatImage().size());
    std::filesystem::remove(path);
}

} // namespace

BENCHMARK_CAPTURE(BM_LoadHex, pic18_128KiB, kCorePic18)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadHex, midrange_8Kwords, kCoreMidRange)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveHex, pic18_128KiB, kCorePic18)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveHex, midrange_8Kwords, kCoreMidRange)->Unit(benchmark::kMillisecond);
// The same by the wall clock, where the fsync of the safe replace shows.
BENCHMARK_CAPTURE(BM_SaveHex, pic18_128KiB, kCorePic18)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveHex, midrange_8Kwords, kCoreMidRange)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadRecords, pic18_128KiB, kCorePic18)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadRecords, midrange_8Kwords, kCoreMidRange)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FormatImage, pic18_128KiB, kCorePic18)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FormatImage, midrange_8Kwords, kCoreMidRange)->Unit(benchmark::kMillisecond);

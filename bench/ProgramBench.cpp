// Program sequences on the simulated writer, as the window and the tool run
// them (the station's runner: device ID checks, the kept calibration, erase,
// write, verify read): packets, bytes, the simulated writer's time, and the
// lower bound of ProgramBound.h with the ratio to it, with blank areas left
// alone and with the full write.
//
// The benchmark's time is the simulated writer's (manual time); the host's
// own time for the same run is not what these measure.
#include "ProgramBench.h"

#include "ProgramBound.h"
#include "device/DeviceList.h"
#include "ops/Station.h"
#include "sim/SimChips.h"
#include "sim/SimWriter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

std::string SourceFile(const std::string& relative) {
    return std::string(KVX3_SOURCE_DIR) + "/" + relative;
}

// A front end that shows nothing and answers every question with Yes.
class CQuietFrontEnd final : public IStationFrontEnd {
public:
    CRunnerOptions RunnerOptions;
    std::vector<EOutcome> Outcomes;

    EMsgResult Show(const std::string&, EMsgIcon, EMsgButtons buttons) override {
        return buttons == EMsgButtons::Ok ? EMsgResult::Ok : EMsgResult::Yes;
    }
    void SetStatusText(int) override {}
    void SetWriterLabel(const std::string&) override {}
    void EnableControls(bool) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
    void ShowVerifyError(int32_t) override {}
    void OnOutcome(const COutcome& outcome) override { Outcomes.push_back(outcome.Kind); }
    void RefreshProgramDump() override {}
    void RefreshEepromDump() override {}
    void RefreshUserId() override {}
    void RefreshConfigGrid(int) override {}
    void ShowDeviceId() override {}
    int ConfigPage() const override { return 0; }
    CRunnerOptions Options() const override { return RunnerOptions; }
    void ShowSelectedDevice() override {}
    void RebuildRecentMenu() override {}
};

std::unique_ptr<ISimChip> Chip(const std::string& name) {
    return MakeSimChip(name, ESimTiming::Typical);
}

// Every program byte and EEPROM byte random, the configuration as selected.
void FillRandom(CPicDevice& d) {
    std::mt19937 rng(1);
    const bool pic18 = d.CoreWidth == kCorePic18;
    for (size_t i = 0; i < d.ProgramData.size(); ++i) {
        d.ProgramData[i] = static_cast<uint8_t>(rng() & (!pic18 && i % 2 == 1 ? 0x3F : 0xFF));
    }
    for (uint8_t& b : d.EepromData) {
        b = static_cast<uint8_t>(rng());
    }
}

std::vector<CProgramResult>& Results() {
    static std::vector<CProgramResult> results;
    return results;
}

} // namespace

bool RunProgram(const CProgramCase& c, CProgramResult& result) {
    result.Case = c;
    CSimWriter sim(Chip(c.Device));
    if (sim.Chip() == nullptr) {
        return false;
    }
    CQuietFrontEnd front;
    front.RunnerOptions.m_bSkipBlank = c.SkipBlank;
    CStation station(front);
    station.Device().ListPath = SourceFile("data/PicDeviceList3.txt");
    if (station.UseLink(sim) != EBackendResult::Ok || !station.SelectDevice(c.Device)) {
        return false;
    }
    if (c.HexFile.empty()) {
        FillRandom(station.Device());
    } else if (!station.LoadHexFile(SourceFile(c.HexFile))) {
        return false;
    }
    // Every session ends with the same exit packet.
    const uint8_t exitPacket[] = {0x80, 0x05, 0x80, 0x0B, 0x80, 0x03, 0x81,
                                  0x00, 0x01, 0x00, 0x80, 0x06, 0x80, 0x09};
    std::atomic<uint64_t> frames{0};
    station.Writer().SetTraceHook(
        [&frames, &exitPacket](CWriter::ETraceDirection direction, std::span<const uint8_t> bytes) {
            if (direction == CWriter::ETraceDirection::Out &&
                std::equal(bytes.begin(), bytes.end(), std::begin(exitPacket), std::end(exitPacket))) {
                frames.fetch_add(1);
            }
        });
    CRunner& runner = station.Runner();
    for (int i = 0; i < 100 && !runner.Connected(); ++i) {
        runner.OnTimer();
    }
    const CSimWriterCounters before = sim.Counters();
    runner.OnProgram();
    while (runner.IsRunning()) {
        runner.OnTimer();
        if (runner.IsBusy()) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    station.Writer().SetTraceHook({});
    const CSimWriterCounters after = sim.Counters();
    result.Frames = frames.load();
    result.SessionUs = SessionUs(station.Device());
    result.Packets = after.Packets - before.Packets;
    result.BytesOut = after.BytesOut - before.BytesOut;
    result.BytesIn = after.BytesIn - before.BytesIn;
    result.WriterUs = static_cast<double>(after.ElapsedUs - before.ElapsedUs);
    result.Verified =
        front.Outcomes == std::vector<EOutcome>{EOutcome::Completed} && !sim.Breaches().HasBreaches();

    // The bound for what the selected device holds now: the chip's own
    // calibration taken in where it was kept.
    const bool calibration = station.Device().CalFlag != 0;
    const CProgramBound bound = ProgramBound(c.Device, station.Device(), calibration);
    result.BoundUs = bound.TotalUs();
    return true;
}

void BM_Program(benchmark::State& state, const CProgramCase& c) {
    CProgramResult result;
    for (auto _ : state) {
        if (!RunProgram(c, result)) {
            state.SkipWithError("the device, its chip model or its image is missing");
            return;
        }
        state.SetIterationTime(result.WriterUs / 1e6);
    }
    if (!result.Verified) {
        state.SkipWithError("the Program did not end with a clean verify");
        return;
    }
    state.counters["packets"] = static_cast<double>(result.Packets);
    state.counters["bytes"] = static_cast<double>(result.BytesOut + result.BytesIn);
    state.counters["writer_s"] = result.WriterUs / 1e6;
    state.counters["bound_s"] = result.BoundUs / 1e6;
    state.counters["ratio"] = result.Ratio();
    state.counters["frames"] = static_cast<double>(result.Frames);
    Results().push_back(result);
}

void RegisterProgramBenchmarks() {
    struct CDevice {
        const char* Name;
        const char* Blink;
    };
    const CDevice devices[] = {
        {"PIC16F877A", "tests/fixtures/blink16f877a.hex"}, {"PIC12F675", "tests/fixtures/blink12f675.hex"},
        {"PIC16F886", "tests/fixtures/blink16f886.hex"},   {"PIC18F452", "tests/fixtures/blink18f452.hex"},
        {"PIC18F4550", "tests/fixtures/blink18f4550.hex"},
    };
    for (const CDevice& d : devices) {
        for (const bool blink : {true, false}) {
            for (const bool skip : {true, false}) {
                CProgramCase c{d.Name, blink ? d.Blink : "", skip};
                const std::string name = "Program/" + std::string(d.Name) +
                                         (blink ? "/blink" : "/full_image") +
                                         (skip ? "/skip_blank" : "/full_write");
                benchmark::RegisterBenchmark(name.c_str(), BM_Program, c)
                    ->UseManualTime()
                    ->Iterations(1)
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    // Every catalogue entry with a full image, as the window programs it by
    // default (the full write).
    CDeviceList list;
    list.ListPath = SourceFile("data/PicDeviceList3.txt");
    CNameList names;
    list.FillSelector(names);
    for (const std::string& device : names.Names) {
        if (!device.empty() && device.front() != '-') {
            benchmark::RegisterBenchmark(("Catalogue/" + device).c_str(), BM_Program,
                                         CProgramCase{device, "", false})
                ->UseManualTime()
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
        }
    }
}

void PrintProgramTable() {
    if (Results().empty()) {
        return;
    }
    std::printf("\nProgram on the simulated writer (erase, write, verify; device ID checks on)\n");
    std::printf(
        "| device | image | write | packets | bytes | sessions | writer s | bound s | ratio | ratio in "
        "one session |\n");
    std::printf("|---|---|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const CProgramResult& r : Results()) {
        std::printf("| %s | %s | %s | %llu | %llu | %llu | %.3f | %.3f | %.2f | %.2f |\n",
                    r.Case.Device.c_str(), r.Case.HexFile.empty() ? "full image" : "blink",
                    r.Case.SkipBlank ? "blank skipped" : "full", static_cast<unsigned long long>(r.Packets),
                    static_cast<unsigned long long>(r.BytesOut + r.BytesIn),
                    static_cast<unsigned long long>(r.Frames), r.WriterUs / 1e6, r.BoundUs / 1e6, r.Ratio(),
                    r.OneSessionRatio());
    }
}

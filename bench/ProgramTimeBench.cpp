// How long a full Program (erase, write of a full random image, verify read)
// takes on the writer, per catalogue entry: the simulated writer's clock
// (USB transfers at 125 us each way, the ICSP shifting, every wait) and the
// packet count, next to the host's own CPU time for running the engines.
#include "device/DeviceList.h"
#include "sim/SimChips.h"
#include "sim/SimWriter.h"
#include "writer/Writer.h"

#include <benchmark/benchmark.h>
#include <random>

namespace {

std::string Catalogue() {
    return std::string(KVX3_SOURCE_DIR) + "/data/PicDeviceList3.txt";
}

void ProgramOnce(const std::string& name, benchmark::State& state) {
    CDeviceList device;
    device.ListPath = Catalogue();
    device.LoadDevice(name);
    CSimWriter sim(MakeSimChip(name, ESimTiming::Typical));
    CWriter w(sim);
    w.AssignFrom(device);
    w.Poll();
    w.SocketPins = w.PinCount;
    std::mt19937 rng(1);
    for (size_t i = 0; i < w.ProgramData.size(); ++i) {
        w.ProgramData[i] = static_cast<uint8_t>(rng() & (w.CoreWidth == 14 && i % 2 ? 0x3F : 0xFF));
    }
    for (uint8_t& b : w.EepromData) {
        b = static_cast<uint8_t>(rng());
    }
    const CSimWriterCounters before = sim.Counters();
    w.Erase();
    w.WriteProgram();
    w.WriteEeprom();
    w.WriteConfig(false);
    w.ReadProgram();
    w.ReadEeprom();
    w.ReadConfig();
    const CSimWriterCounters after = sim.Counters();
    state.counters["writer_s"] = static_cast<double>(after.ElapsedUs - before.ElapsedUs) / 1e6;
    state.counters["packets"] = static_cast<double>(after.Packets - before.Packets);
}

void BM_FullProgram(benchmark::State& state, const std::string& name) {
    for (auto _ : state) {
        ProgramOnce(name, state);
    }
}

} // namespace

int main(int argc, char** argv) {
    CDeviceList list;
    list.ListPath = Catalogue();
    CNameList names;
    list.FillSelector(names);
    for (const std::string& name : names.Names) {
        if (!name.empty() && name.front() != '-') {
            benchmark::RegisterBenchmark(("FullProgram/" + name).c_str(), BM_FullProgram, name)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

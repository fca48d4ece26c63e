// The host's cost per packet: building it in an engine, sending it through
// the writer's link, reading and decoding the answer. Over the simulated
// writer (which also runs its firmware and chip model for every packet) and
// over a link that answers at once with zeros (the host's share alone).
#include "device/DeviceList.h"
#include "sim/SimChips.h"
#include "sim/SimWriter.h"
#include "writer/Writer.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <memory>

namespace {

// A writer that is always there and answers every packet with as many zero
// bytes as the host reads.
class CNullLink final : public IUsbLink {
public:
    Handle OpenDevice(uint16_t, uint16_t) override { return 1; }
    Handle OpenPipe(Handle, int pipe) override { return pipe == kPipeOut ? 2 : 3; }
    bool WritePipe(Handle, const uint8_t*, size_t length) override {
        ++Packets;
        return length != 0;
    }
    size_t ReadPipe(Handle, uint8_t* buffer, size_t maxLength) override {
        std::memset(buffer, 0, maxLength);
        return maxLength;
    }
    int CheckPresence(Handle) override { return 0; }
    void CloseDevice(Handle) override {}
    void HostDelay(unsigned) override {}
    uint64_t Packets = 0;
};

void LoadDevice(CWriter& w, const std::string& name) {
    CDeviceList device;
    device.ListPath = std::string(KVX3_SOURCE_DIR) + "/data/PicDeviceList3.txt";
    device.LoadDevice(name);
    w.AssignFrom(device);
    w.Poll();
    w.SocketPins = w.PinCount;
    w.DeviceIdCheck = false;
}

void PerPacket(benchmark::State& state, uint64_t packets) {
    state.counters["packets"] =
        benchmark::Counter(static_cast<double>(packets), benchmark::Counter::kAvgIterations);
    state.counters["per_packet"] = benchmark::Counter(
        static_cast<double>(packets), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// op: the operation, run once per iteration.
void OverSim(benchmark::State& state, const std::string& name, const std::function<void(CWriter&)>& op) {
    CSimWriter sim(MakeSimChip(name, ESimTiming::Typical));
    CWriter w(sim);
    LoadDevice(w, name);
    const uint64_t before = sim.Counters().Packets;
    for (auto _ : state) {
        op(w);
    }
    PerPacket(state, sim.Counters().Packets - before);
}

void OverNull(benchmark::State& state, const std::string& name, const std::function<void(CWriter&)>& op) {
    CNullLink link;
    CWriter w(link);
    LoadDevice(w, name);
    const uint64_t before = link.Packets;
    for (auto _ : state) {
        op(w);
    }
    PerPacket(state, link.Packets - before);
}

void ReadProgram(CWriter& w) {
    benchmark::DoNotOptimize(w.ReadProgram());
}

void WriteProgram(CWriter& w) {
    benchmark::DoNotOptimize(w.WriteProgram());
}

} // namespace

BENCHMARK_CAPTURE(OverSim, read_PIC16F877A, std::string("PIC16F877A"), ReadProgram)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OverSim, read_PIC18F452, std::string("PIC18F452"), ReadProgram)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OverSim, write_PIC16F877A, std::string("PIC16F877A"), WriteProgram)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OverNull, read_PIC16F877A, std::string("PIC16F877A"), ReadProgram)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OverNull, read_PIC18F452, std::string("PIC18F452"), ReadProgram)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OverNull, write_PIC16F877A, std::string("PIC16F877A"), WriteProgram)
    ->Unit(benchmark::kMicrosecond);

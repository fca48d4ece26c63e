// Any packets to the simulated writer, with a mid-range chip and then a PIC18
// chip in its socket: the firmware's command parser and both chip models
// never crash or reach outside their memories, no answer is longer than the
// longest packet so far can ask for (a late or doubled answer may be another
// packet's), and no more answers come than packets were written, a doubled
// one aside.
//
// Input: a fault byte and a packet number (which link fault the writer
// shows, and at which packet), then packets, each a length byte (its low
// seven bits, up to 72 so that oversized packets come too; the top bit
// lets 5 ms of host time pass first) and that many bytes.
#include "fuzz/FuzzTarget.h"
#include "sim/MidRangeChip.h"
#include "sim/SimWriter.h"
#include "sim/pic18/Pic18Chip.h"

#include <algorithm>
#include <memory>

namespace {

constexpr size_t kLongestPacket = 72;

void Run(std::unique_ptr<ISimChip> chip, const uint8_t* data, size_t size) {
    CSimWriter writer(std::move(chip));
    if (size < 2) {
        return;
    }
    const uint64_t at = data[1];
    switch (data[0] % 6) {
    case 1:
        writer.AnswerLate(at);
        break;
    case 2:
        writer.AnswerTwice(at);
        break;
    case 3:
        writer.MuteAfterPacket(at);
        break;
    case 4:
        writer.ShortenAnswer(at, 1);
        break;
    case 5:
        writer.UnplugAfterPacket(at);
        break;
    default:
        break;
    }
    const IUsbLink::Handle device = writer.OpenDevice(0x0ADE, 0x0010);
    const IUsbLink::Handle out = writer.OpenPipe(device, IUsbLink::kPipeOut);
    const IUsbLink::Handle in = writer.OpenPipe(device, IUsbLink::kPipeIn);
    uint64_t lastUs = 0;
    size_t longestAnswer = 0;
    uint64_t answers = 0;
    for (size_t i = 2; i < size;) {
        const uint8_t head = data[i++];
        const size_t length = std::min<size_t>({head & 0x7Fu, kLongestPacket, size - i});
        if ((head & 0x80) != 0) {
            writer.HostDelay(5);
        }
        const bool written = writer.WritePipe(out, data + i, length);
        i += length;
        uint8_t answer[64];
        bool failed = false;
        const size_t got = writer.ReadAnswer(in, answer, sizeof answer, failed);
        KVX3_FUZZ_CHECK(!failed || got == 0);
        // Two answer bytes for each two-byte read command, five for the
        // four-byte identification: never more than a packet's length and a
        // one-byte acknowledgement.
        if (written) {
            longestAnswer = std::max(longestAnswer, length * 5 / 4 + 1);
        } else {
            KVX3_FUZZ_CHECK(failed);
        }
        KVX3_FUZZ_CHECK(got <= longestAnswer);
        answers += failed ? 0 : 1;
        if ((data[0] & 0x40) != 0) {
            answers += writer.DrainPipe(in, 1);
        }
        const CSimWriterCounters c = writer.Counters();
        KVX3_FUZZ_CHECK(c.ElapsedUs >= lastUs);
        lastUs = c.ElapsedUs;
    }
    const CSimWriterCounters c = writer.Counters();
    KVX3_FUZZ_CHECK(c.MutedPackets <= c.Packets);
    KVX3_FUZZ_CHECK(c.Obligations.ReadsWithoutAnswer == 0);
    KVX3_FUZZ_CHECK(answers <= c.Packets - c.MutedPackets + (data[0] % 6 == 2 ? 1 : 0));
}

} // namespace

int FuzzSimPackets(const uint8_t* data, size_t size) {
    // Small chips of each family, so that a run costs little.
    Run(MakeMidRangeSimChip("PIC16F628A", ESimTiming::Typical), data, size);
    Run(MakePic18SimChip("PIC18F1220", ESimTiming::Typical), data, size);
    return 0;
}

KVX3_FUZZ_ENTRY(FuzzSimPackets)

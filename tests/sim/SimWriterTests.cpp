// The simulated writer as a USB backend: opening, handles, the host's
// obligations, counters, faults, plugging and presence across threads.
#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using simtest::CHostLink;
using simtest::CPacket;

TEST(SimWriter, OpensOnlyForItsIdentifierPair) {
    CSimWriter first;
    EXPECT_EQ(first.OpenDevice(0x08DA, 0xFF0B), IUsbLink::kInvalidHandle);
    const IUsbLink::Handle device = first.OpenDevice(0x0ADE, 0x0010);
    EXPECT_NE(device, IUsbLink::kInvalidHandle);
    EXPECT_EQ(first.CheckPresence(device), 0);
    EXPECT_EQ(first.Counters().OpenAttempts, 2u);

    CSimWriterConfig config;
    config.VendorId = 0x08DA;
    config.ProductId = 0xFF0B;
    CSimWriter second(config);
    EXPECT_EQ(second.OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
    EXPECT_NE(second.OpenDevice(0x08DA, 0xFF0B), IUsbLink::kInvalidHandle);

    config.PluggedIn = false;
    CSimWriter absent(config);
    EXPECT_EQ(absent.OpenDevice(0x08DA, 0xFF0B), IUsbLink::kInvalidHandle);
    EXPECT_EQ(absent.Counters().Opens, 0u);
}

TEST(SimWriter, TransfersNeedTheOpenDevicesPipes) {
    CSimWriter writer;
    const IUsbLink::Handle device = writer.OpenDevice(0x0ADE, 0x0010);
    const IUsbLink::Handle out = writer.OpenPipe(device, IUsbLink::kPipeOut);
    const IUsbLink::Handle in = writer.OpenPipe(device, IUsbLink::kPipeIn);
    EXPECT_NE(out, in);
    EXPECT_EQ(writer.OpenPipe(device + 99, IUsbLink::kPipeOut), IUsbLink::kInvalidHandle);
    const uint8_t packet[] = {0x80, 0x00};
    uint8_t answer[10];
    EXPECT_FALSE(writer.WritePipe(in, packet, sizeof packet)) << "the IN pipe takes no packets";
    EXPECT_TRUE(writer.WritePipe(out, packet, sizeof packet));
    EXPECT_EQ(writer.ReadPipe(out, answer, sizeof answer), 0u);
    EXPECT_EQ(writer.ReadPipe(in, answer, sizeof answer), 1u);
    writer.CloseDevice(device);
    EXPECT_NE(writer.CheckPresence(device), 0);
    EXPECT_FALSE(writer.WritePipe(out, packet, sizeof packet));
    EXPECT_EQ(writer.Counters().FailedTransfers, 3u);
}

TEST(SimWriter, CountsTheHostsObligations) {
    CSimWriter writer;
    CHostLink host(writer);
    ASSERT_TRUE(host.Open());
    host.Send(CPacket().Control(0).Control(0x80).Control(0x81), 19);
    EXPECT_EQ(writer.Counters().Obligations.Total(), 0u);

    host.Send(CPacket().Control(0x80).Control(0x81), 3); // banner of 5 read with room for 3
    EXPECT_EQ(writer.Counters().Obligations.TruncatedAnswers, 1u);

    const IUsbLink::Handle out = writer.OpenPipe(host.Device(), IUsbLink::kPipeOut);
    const IUsbLink::Handle in = writer.OpenPipe(host.Device(), IUsbLink::kPipeIn);
    const uint8_t packet[] = {0x80, 0x00};
    writer.WritePipe(out, packet, 2);
    writer.WritePipe(out, packet, 2); // the first answer was never read
    EXPECT_EQ(writer.Counters().Obligations.WritesWithoutRead, 1u);
    uint8_t answer[64];
    EXPECT_EQ(writer.ReadPipe(in, answer, 64), 1u);
    EXPECT_EQ(writer.ReadPipe(in, answer, 64), 0u);
    EXPECT_EQ(writer.Counters().Obligations.ReadsWithoutAnswer, 1u);

    std::vector<uint8_t> big(70, 0x00);
    writer.WritePipe(out, big.data(), big.size());
    writer.ReadPipe(in, answer, 64);
    const CSimWriterCounters c = writer.Counters();
    EXPECT_EQ(c.Obligations.OversizePackets, 1u);
    EXPECT_EQ(c.Obligations.Total(), 4u);
    EXPECT_EQ(c.Firmware.Errors, 1u);
}

TEST(SimWriter, CountsPacketsBytesAndSimulatedTime) {
    CSimWriterConfig config;
    config.UsbWriteUs = 100;
    config.UsbReadUs = 50;
    CSimWriter writer(config);
    CHostLink host(writer);
    ASSERT_TRUE(host.Open());
    host.Send(CPacket().Control(0).WaitMs(4), 10);
    host.Send(CPacket().Control(0x80).Control(0x81), 19);
    writer.HostDelay(20);
    const CSimWriterCounters c = writer.Counters();
    EXPECT_EQ(c.Packets, 2u);
    EXPECT_EQ(c.BytesOut, 10u);
    EXPECT_EQ(c.BytesIn, 1u + 5u);
    EXPECT_EQ(c.ElapsedUs, 2 * 150u + 4000u + 20000u); // the 4 ms wait is 4000.2 us
    EXPECT_EQ(c.OpenAttempts, 1u);
}

TEST(SimWriter, FaultsShortenOrEmptyAnswersAndUnplug) {
    CSimWriter writer;
    CHostLink host(writer);
    ASSERT_TRUE(host.Open());
    writer.ShortenAnswer(1, 2);
    writer.EmptyAnswer(2);
    writer.UnplugAfterPacket(3);
    const CPacket ident = CPacket().Control(0x80).Control(0x81);
    EXPECT_EQ(host.Send(ident, 19).size(), 3u);
    EXPECT_TRUE(host.Send(ident, 19).empty());
    EXPECT_EQ(host.Send(ident, 19).size(), 5u) << "packet 3 is still answered";
    EXPECT_FALSE(writer.PluggedIn());
    EXPECT_NE(writer.CheckPresence(host.Device()), 0);
    EXPECT_TRUE(host.Send(ident, 19).empty());
    EXPECT_EQ(writer.Counters().Packets, 3u);
}

TEST(SimWriter, ClearedFaultsNoLongerFire) {
    CSimWriter writer;
    CHostLink host(writer);
    ASSERT_TRUE(host.Open());
    writer.ShortenAnswer(1, 2);
    writer.EmptyAnswer(2);
    writer.UnplugAfterPacket(2);
    writer.ClearFaults();
    const CPacket ident = CPacket().Control(0x80).Control(0x81);
    EXPECT_EQ(host.Send(ident, 19).size(), 5u);
    EXPECT_EQ(host.Send(ident, 19).size(), 5u);
    EXPECT_TRUE(writer.PluggedIn());
    EXPECT_EQ(host.Send(ident, 19).size(), 5u);
    // Faults set after clearing count packets as before.
    writer.EmptyAnswer(4);
    EXPECT_TRUE(host.Send(ident, 19).empty());
}

TEST(SimWriter, AChipPulledFromTheSocketIsGoneUntilPutBack) {
    CSimWriter writer(MakeMidRangeChip("PIC16F877A", ESimTiming::Typical));
    writer.ChipAs<CMidRangeChip>()->Poke(EMidRegion::Program, 0, 0x1234);
    CHostLink host(writer);
    ASSERT_TRUE(host.Open());
    host.Enter(40);
    EXPECT_EQ(simtest::Words(host.Send(CPacket().Read(0x04)))[0], 0x1234);

    std::unique_ptr<ISimChip> chip = writer.RemoveChip();
    ASSERT_NE(chip, nullptr);
    EXPECT_FALSE(chip->InProgrammingMode()) << "the chip loses VPP as it leaves the socket";
    EXPECT_EQ(writer.Chip(), nullptr);
    EXPECT_FALSE(writer.State().ChipWired);
    const uint64_t unwired = writer.Counters().Firmware.ChipCommandsUnwired;
    EXPECT_EQ(simtest::Words(host.Send(CPacket().Read(0x04)))[0], 0x3FFF) << "an empty socket reads ones";
    EXPECT_EQ(writer.Counters().Firmware.ChipCommandsUnwired, unwired + 1);
    EXPECT_EQ(writer.RemoveChip(), nullptr);

    writer.InsertChip(std::move(chip));
    EXPECT_TRUE(writer.State().ChipHasVpp);
    EXPECT_EQ(simtest::Words(host.Send(CPacket().Read(0x04)))[0], 0x1234);
}

TEST(SimWriter, ReplugGivesNewHandlesAndThePowerOnState) {
    CSimWriter writer(MakeMidRangeChip("PIC16F877A", ESimTiming::Typical));
    CHostLink host(writer);
    ASSERT_TRUE(host.Open());
    host.Enter(40);
    ASSERT_TRUE(writer.Chip()->InProgrammingMode());
    const IUsbLink::Handle old = host.Device();
    writer.Unplug();
    EXPECT_FALSE(writer.Chip()->InProgrammingMode()) << "the chip loses VPP with the cable";
    EXPECT_NE(writer.CheckPresence(old), 0);
    EXPECT_EQ(writer.OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
    writer.Plug();
    EXPECT_NE(writer.CheckPresence(old), 0) << "a re-plugged writer must be opened again";
    ASSERT_TRUE(host.Open());
    EXPECT_NE(host.Device(), old);
    EXPECT_EQ(writer.CheckPresence(host.Device()), 0);
    const CSimWriterState s = writer.State();
    EXPECT_FALSE(s.DcDc);
    EXPECT_EQ(s.Mclr, ESimMclr::Normal);
    EXPECT_EQ(s.Socket, ESimSocket::Icsp);
}

// Presence checks from one thread while another runs transfers and a third
// pulls the cable; run under ThreadSanitizer in CI.
TEST(SimWriter, PresenceAndUnplugAreSafeDuringTransfers) {
    CSimWriter writer(MakeMidRangeChip("PIC16F628A", ESimTiming::Typical));
    CHostLink host(writer);
    ASSERT_TRUE(host.Open());
    const IUsbLink::Handle device = host.Device();
    std::atomic<bool> stop{false};
    std::atomic<int> gone{0};
    std::thread poller([&] {
        while (!stop) {
            if (writer.CheckPresence(device) != 0) {
                gone++;
            }
        }
    });
    std::atomic<int> exchanges{0};
    int failures = 0;
    std::thread worker([&] {
        const CPacket p = CPacket().Read(0x04).Inc().Read(0x04).Inc();
        for (int i = 0; i < 1000000 && failures < 10; ++i) {
            if (host.Send(p, 19).empty()) {
                failures++;
            }
            exchanges++;
        }
    });
    while (exchanges < 200) {
        std::this_thread::yield();
    }
    writer.Unplug();
    worker.join();
    while (gone == 0) {
        std::this_thread::yield();
    }
    stop = true;
    poller.join();
    EXPECT_FALSE(writer.PluggedIn());
    EXPECT_NE(writer.CheckPresence(device), 0);
    EXPECT_EQ(failures, 10) << "every exchange after the unplug fails";
    // The exchange cut in half by the unplug may have had its packet run.
    const uint64_t packets = writer.Counters().Packets;
    EXPECT_GE(packets + 10, static_cast<uint64_t>(exchanges.load()));
    EXPECT_LE(packets + 9, static_cast<uint64_t>(exchanges.load()));
}

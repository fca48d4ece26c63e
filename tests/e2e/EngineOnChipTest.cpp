// The engines' edge behaviour against a simulated chip: calibration kept
// through an erase, a stop request, an unplugged writer, a large PIC18.
#include "tests/e2e/EndToEndSupport.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using e2e::CBench;

namespace {

TEST(EngineOnChip, CalibrationSurvivesReadEraseWrite) {
    CBench b("PIC12F675");
    CMidRangeChip& chip = *b.Mid();
    const uint16_t osccal = chip.Peek(EMidRegion::Program, 0x3FF);
    const uint16_t bandGap = chip.Peek(EMidRegion::Config, 0) & 0x3000;
    ASSERT_EQ(osccal & 0x3F00, 0x3400) << "a factory RETLW";

    // The image holds other values at both places.
    CWriter& w = b.Writer;
    w.ProgramData[2 * 0x3FF] = 0x00;
    w.ProgramData[2 * 0x3FF + 1] = 0x34;
    w.Config[0] = 0x01FF;
    ASSERT_TRUE(w.ReadCalibration());
    EXPECT_EQ(w.ProgramWord(0x3FF), osccal);
    EXPECT_EQ(w.Config[0] & 0x3000, bandGap);

    ASSERT_TRUE(w.Erase());
    EXPECT_EQ(chip.Peek(EMidRegion::Program, 0x3FF), 0x3FFF) << "the bulk erase takes the calibration";
    ASSERT_TRUE(w.WriteCalibration());
    EXPECT_EQ(chip.Peek(EMidRegion::Program, 0x3FF), osccal);
    EXPECT_EQ(chip.Peek(EMidRegion::Config, 0) & 0x3000, bandGap);
}

TEST(EngineOnChip, StopRequestEndsALongReadAndTheChipIsLeft) {
    CBench b("PIC16F877A");
    CWriter& w = b.Writer;
    std::vector<std::vector<uint8_t>> sent;
    w.SetTraceHook([&](CWriter::ETraceDirection direction, std::span<const uint8_t> bytes) {
        if (direction == CWriter::ETraceDirection::Out) {
            sent.emplace_back(bytes.begin(), bytes.end());
            if (sent.size() == 10) {
                w.AbortRequest = true; // the user's Cancel, in the middle of the read
            }
        }
    });
    ASSERT_TRUE(w.ReadProgram());
    w.SetTraceHook({});
    // Socket, entry, then reads: the loop ended at the next block instead of
    // the 1024 packets of the whole memory.
    EXPECT_LT(sent.size(), 16U);
    const std::vector<uint8_t> exitPacket = {0x80, 0x05, 0x80, 0x0B, 0x80, 0x03, 0x81,
                                             0x00, 0x01, 0x00, 0x80, 0x06, 0x80, 0x09};
    EXPECT_EQ(sent.back(), exitPacket);
    EXPECT_FALSE(b.Sim.State().Vpp) << "the chip is out of programming mode";
    EXPECT_FALSE(b.Sim.Chip()->InProgrammingMode());
    w.AbortRequest = false;
}

TEST(EngineOnChip, UnplugDuringAWriteNeitherCrashesNorHangs) {
    CBench b("PIC16F84A"); // word by word, with read-back
    CWriter& w = b.Writer;
    e2e::FillRandomImage(w, 5);
    ASSERT_TRUE(w.Erase());
    b.Sim.UnplugAfterPacket(b.Sim.Counters().Packets + 40);

    w.Busy = true;
    std::future<bool> worker = std::async(std::launch::async, [&] {
        const bool ok = w.WriteProgram();
        w.Busy = false;
        return ok;
    });
    // The UI thread's timer keeps polling meanwhile.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool sawGone = false;
    while (w.Busy && std::chrono::steady_clock::now() < deadline) {
        sawGone |= !w.Poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(worker.wait_until(deadline), std::future_status::ready) << "the worker ended";
    EXPECT_FALSE(worker.get()) << "the write reports that the link went down";
    EXPECT_TRUE(sawGone || !w.Poll());
    EXPECT_FALSE(w.IsOpen());
    EXPECT_LT(b.Sim.Chip()->Counters().Commands, 400U) << "nothing more reached the chip";

    b.Sim.Plug();
    EXPECT_TRUE(w.Poll()) << "plugged in again, it is opened again";
    EXPECT_EQ(w.Banner, "KVX3 Ver.17 / CLK=20MHz");
}

TEST(EngineOnChip, Pic18With128KiBRoundTrips) {
    const CPic18Model* base = FindPic18Model("PIC18F4550");
    ASSERT_NE(base, nullptr);
    CPic18Model big = *base;
    big.ProgramBytes = 128 * 1024;
    CBench b("PIC18F4550", ESimTiming::Typical, std::make_unique<CPic18Chip>(big, ESimTiming::Typical));
    CWriter& w = b.Writer;
    w.ProgramSize = 128 * 1024;
    w.AllocProgram();
    e2e::FillRandomImage(w, 7);
    CPicDevice image;
    image.AssignFrom(w);

    ASSERT_TRUE(w.Erase());
    ASSERT_TRUE(w.WriteProgram());
    for (uint32_t a : {0U, 0xFFFFU, 0x10000U, 0x1FFFFU}) {
        EXPECT_EQ(b.Pic18()->ProgramByte(a), image.ProgramData[a]) << a;
    }
    w.ClearImage();
    ASSERT_TRUE(w.ReadProgram());
    EXPECT_EQ(w.ProgramData, image.ProgramData);
    EXPECT_EQ(b.Sim.Counters().Obligations.Total(), 0U);
}

TEST(EngineOnChip, SecondProgramWriteAfterAConfigurationWriteOnAPanelledChip) {
    // On a PIC18FXX2 the first write after a configuration write must not
    // program the other panels with stale buffers: WriteConfig leaves
    // WriteCycle at 100, so the single-panel setup comes first.
    CBench b("PIC18F452");
    CWriter& w = b.Writer;
    e2e::FillRandomImage(w, 9);
    ASSERT_TRUE(w.Erase());
    ASSERT_TRUE(w.WriteEeprom());
    ASSERT_TRUE(w.WriteConfig(false));
    EXPECT_EQ(w.WriteCycle, 100);
    ASSERT_TRUE(w.WriteProgram());
    CPicDevice image;
    image.AssignFrom(w);
    EXPECT_EQ(e2e::ChipDifferences(b, image), "");
}

TEST(EngineOnChip, DeviceIdOfAnotherChip) {
    CBench b("PIC16F628A");
    b.Mid()->SetDeviceIdWord(0x1043); // a 16F627A, revision 3
    ASSERT_TRUE(b.Writer.ReadDeviceId());
    EXPECT_EQ(b.Writer.DeviceId, 0x1043U);
    EXPECT_NE(b.Writer.DeviceId & b.Device.DeviceIdMask, b.Device.DeviceId);

    CSimWriter empty; // no chip in the socket: everything reads as ones
    CWriter w(empty);
    w.AssignFrom(b.Device);
    ASSERT_TRUE(w.Poll());
    w.SocketPins = 18;
    ASSERT_TRUE(w.ReadDeviceId());
    EXPECT_EQ(w.DeviceId, 0xFFFFU);
}

} // namespace

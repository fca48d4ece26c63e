// Arrival and removal of the writer: hotplug events instead of bus scans,
// an unplug while idle or in the middle of a Program, and the way back.
#include "tests/usb/UsbTestSupport.h"

#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "sim/MidRangeChip.h"
#include "writer/Writer.h"
#include "writer/usb_link/LibUsbLink.h"

#include <future>

namespace {

using usbtest::CUsbTest;
using usbtest::kShortTimeoutMs;
using usbtest::TickUntil;

const std::vector<uint8_t> kIdlePacket = {0x80, 0x0E, 0x80, 0x0B, 0x80, 0x03,
                                          0x80, 0x00, 0x80, 0x06, 0x80, 0x09};
const std::vector<uint8_t> kIdentify = {0x80, 0x80, 0x80, 0x81};
// Ticks (10 ms) within which an event on the bus must have been seen: the
// event travels through libusb's monitor thread, so "the next tick" is the
// first one after that thread has run.
constexpr int kEventTicks = 100;

class LinkHotplug : public CUsbTest {};

TEST_F(LinkHotplug, AnArrivingWriterIsFoundWithoutScanningTheBus) {
    CEmulatedWriter& device = MakeWriter(WriterLayout(0x08DA, 0xFF0B));
    CLibUsbLink link(kShortTimeoutMs);
    ASSERT_TRUE(link.HasHotplug()) << "libusb watches the bus through udev events";
    CWriter writer(link);
    for (int tick = 0; tick < 50; ++tick) {
        ASSERT_FALSE(writer.Poll());
        std::this_thread::sleep_for(usbtest::kTick);
    }
    EXPECT_EQ(link.ScanCount(), 0U) << "no enumeration for an absent writer";

    Bus().Plug(device);
    EXPECT_GT(TickUntil([&] { return writer.Poll(); }, kEventTicks), 0);
    EXPECT_EQ(link.ScanCount(), 0U);
    EXPECT_EQ(device.Counters().Opens, 1U);
    EXPECT_FALSE(writer.Banner.empty());
}

TEST_F(LinkHotplug, AnIdleUnplugIsNoticedAndTheWriterIsOpenedAgainWhenItComesBack) {
    CEmulatedWriter& device = MakeWriter(WriterLayout());
    Bus().Plug(device);
    CLibUsbLink link(kShortTimeoutMs);
    CWriter writer(link);
    ASSERT_TRUE(writer.Poll());
    const IUsbLink::Handle first = writer.DeviceHandle();
    for (int tick = 0; tick < 10; ++tick) {
        ASSERT_TRUE(writer.Poll()) << "an attached writer stays open";
    }

    Bus().Unplug(device);
    EXPECT_GT(TickUntil([&] { return !writer.Poll(); }, kEventTicks), 0);
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(writer.DeviceHandle(), IUsbLink::kInvalidHandle);
    EXPECT_FALSE(writer.SetIdle()) << "nothing goes to a writer that has gone";

    device.ClearLog();
    Bus().Plug(device);
    EXPECT_GT(TickUntil([&] { return writer.Poll(); }, kEventTicks), 0);
    EXPECT_NE(writer.DeviceHandle(), first) << "a new handle";
    const auto sent = device.Log();
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0], kIdlePacket);
    EXPECT_EQ(sent[1], kIdentify);
    EXPECT_EQ(link.ScanCount(), 0U);
}

// The whole image against the chip's cells.
std::string Differences(CMidRangeChip& chip, const CPicDevice& image) {
    for (uint32_t i = 0; i < image.ProgramData.size() / 2; ++i) {
        if (chip.Peek(EMidRegion::Program, i) != image.ProgramWord(i)) {
            return "program word " + std::to_string(i);
        }
    }
    return "";
}

TEST_F(LinkHotplug, AnUnplugInTheMiddleOfAProgramFailsItAndTheWriterComesBack) {
    CEmulatedWriter& device = MakeWriter(WriterLayout(), "PIC16F877A");
    Bus().Plug(device);
    CLibUsbLink link(kShortTimeoutMs);
    CWriter writer(link);
    CDeviceList record;
    record.ListPath = usbtest::SourcePath("data/PicDeviceList3.txt");
    ASSERT_TRUE(record.LoadDevice("PIC16F877A"));
    CHexFile image;
    image.AssignFrom(record);
    ASSERT_TRUE(image.LoadHex(usbtest::SourcePath("tests/fixtures/blink16f877a.hex")));
    writer.AssignFrom(image);
    writer.SocketPins = writer.PinCount;
    ASSERT_TRUE(writer.Poll());
    ASSERT_TRUE(writer.Erase());

    // The cable goes while the writer works on a packet in the middle of
    // the program memory, with the window's timer polling meanwhile.
    device.UnplugAtPacket(device.Packets() + 150);
    writer.Busy = true;
    std::future<bool> worker = std::async(std::launch::async, [&] {
        const bool ok = writer.WriteProgram();
        writer.Busy = false;
        return ok;
    });
    bool sawGone = false;
    const int ticks = TickUntil(
        [&] {
            sawGone |= !writer.Poll();
            return !writer.Busy;
        },
        3000);
    ASSERT_GT(ticks, 0) << "the operation ended";
    EXPECT_FALSE(worker.get()) << "no success after an unplug";
    EXPECT_FALSE(writer.Poll()) << "the link is down at the next tick";
    EXPECT_TRUE(sawGone || !writer.IsOpen());
    EXPECT_FALSE(device.Attached());
    EXPECT_GT(
        device.Inspect([&](CSimWriter& sim) { return Differences(*sim.ChipAs<CMidRangeChip>(), image); })
            .size(),
        0U)
        << "the program was cut off";

    // Back again: opened at a later tick, and a whole Program succeeds.
    Bus().Plug(device);
    ASSERT_GT(TickUntil([&] { return writer.Poll(); }, kEventTicks), 0);
    ASSERT_TRUE(writer.Erase());
    ASSERT_TRUE(writer.WriteProgram());
    EXPECT_EQ(
        device.Inspect([&](CSimWriter& sim) { return Differences(*sim.ChipAs<CMidRangeChip>(), image); }),
        "");
    EXPECT_EQ(device.Counters().UnknownRequests, 0U);
}

} // namespace

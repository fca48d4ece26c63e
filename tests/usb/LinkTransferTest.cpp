// Packets and answers through libusb's bulk transfers, and a writer that
// stops answering or answers late.
#include "tests/usb/UsbTestSupport.h"

#include "device/DeviceList.h"
#include "writer/Writer.h"
#include "writer/usb_link/LibUsbLink.h"

#include <future>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using usbtest::CUsbTest;
using usbtest::kShortTimeoutMs;

const std::vector<uint8_t> kIdlePacket = {0x80, 0x0E, 0x80, 0x0B, 0x80, 0x03,
                                          0x80, 0x00, 0x80, 0x06, 0x80, 0x09};
const std::vector<uint8_t> kIdentify = {0x80, 0x80, 0x80, 0x81};
const std::vector<uint8_t> kBanner = {'K', '3', '1', '7', 20};
// Far above the short time-out: a wait this long means a hang.
constexpr auto kHang = std::chrono::seconds(10);

// An open link to the writer and its two pipes.
struct COpenLink {
    explicit COpenLink(unsigned timeoutMs = kShortTimeoutMs) : Link(timeoutMs) {
        Device = Link.OpenDevice(0x0ADE, 0x0010);
        Out = Link.OpenPipe(Device, IUsbLink::kPipeOut);
        In = Link.OpenPipe(Device, IUsbLink::kPipeIn);
    }
    ~COpenLink() { Link.CloseDevice(Device); }
    bool Send(const std::vector<uint8_t>& packet) {
        return Link.WritePipe(Out, packet.data(), packet.size());
    }
    std::vector<uint8_t> Answer(size_t max) {
        std::vector<uint8_t> bytes(64);
        bytes.resize(Link.ReadPipe(In, bytes.data(), max));
        return bytes;
    }

    CLibUsbLink Link;
    IUsbLink::Handle Device = IUsbLink::kInvalidHandle;
    IUsbLink::Handle Out = 0;
    IUsbLink::Handle In = 0;
};

class LinkTransfers : public CUsbTest {};

TEST_F(LinkTransfers, AnAnswerLongerThanAskedForIsCutAndTheNextOneIsWhole) {
    CEmulatedWriter& device = MakeWriter(WriterLayout());
    Bus().Plug(device);
    COpenLink link;
    ASSERT_NE(link.Device, IUsbLink::kInvalidHandle);

    ASSERT_TRUE(link.Send(kIdentify));
    EXPECT_EQ(link.Answer(3), std::vector<uint8_t>(kBanner.begin(), kBanner.begin() + 3));
    ASSERT_TRUE(link.Send(kIdentify));
    EXPECT_EQ(link.Answer(10), kBanner) << "nothing of the cut answer is left over";
    ASSERT_TRUE(link.Send(kIdlePacket));
    EXPECT_EQ(link.Answer(10).size(), 1U) << "one acknowledge byte";
    EXPECT_EQ(link.Link.CheckPresence(link.Device), 0);
    EXPECT_EQ(device.Counters().Discards, 0U);
}

TEST_F(LinkTransfers, AWriterThatStopsAnsweringEndsEachReadInTheTimeOut) {
    CEmulatedWriter& device = MakeWriter(WriterLayout());
    Bus().Plug(device);
    COpenLink link;
    ASSERT_TRUE(link.Send(kIdentify));
    ASSERT_EQ(link.Answer(10), kBanner);

    device.MuteAfterPacket(1);
    const auto start = Clock::now();
    ASSERT_TRUE(link.Send(kIdentify)) << "the writer still takes packets";
    EXPECT_TRUE(link.Answer(10).empty());
    EXPECT_LT(Clock::now() - start, kHang);
    EXPECT_EQ(device.Counters().Discards, 1U) << "the pending IN transfer was cancelled";
    EXPECT_EQ(link.Link.CheckPresence(link.Device), 0) << "a silent writer is not an unplugged one";

    // Now it does not even take packets.
    device.MuteAfterPacket(2, true);
    EXPECT_FALSE(link.Send(kIdentify));
    EXPECT_EQ(device.Counters().Discards, 2U);
    EXPECT_EQ(device.Packets(), 2U);
    EXPECT_EQ(link.Link.CheckPresence(link.Device), 0);
}

// After a time-out the writer link drains what the writer still sends before
// the next packet; through libusb the late answer waits in the IN endpoint and
// must come off there, or it would be taken as the next packet's.
TEST_F(LinkTransfers, ALateAnswerIsNeverPairedWithTheNextPacket) {
    CEmulatedWriter& device = MakeWriter(WriterLayout());
    Bus().Plug(device);
    COpenLink link;
    device.AnswerLate(1, std::chrono::milliseconds(3 * kShortTimeoutMs));
    ASSERT_TRUE(link.Send(kIdentify));
    EXPECT_TRUE(link.Answer(10).empty()) << "the answer missed its time-out";
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * kShortTimeoutMs));
    EXPECT_EQ(link.Link.DrainPipe(link.In, 100), 1U) << "the late banner";
    ASSERT_TRUE(link.Send(kIdlePacket));
    EXPECT_EQ(link.Answer(10).size(), 1U) << "the idle packet's own acknowledge, not the late banner";
}

class LinkSilentWriter : public CUsbTest {};

// A writer that stays attached but silent must not cost one time-out per
// packet for the whole operation (thousands of packets), nor end as success.
TEST_F(LinkSilentWriter, ProgramEndsSoonAndFailsWhenTheWriterStopsAnswering) {
    CEmulatedWriter& device = MakeWriter(WriterLayout());
    Bus().Plug(device);
    CLibUsbLink link(kShortTimeoutMs);
    CWriter writer(link);
    CDeviceList record;
    record.ListPath = usbtest::SourcePath("data/PicDeviceList3.txt");
    ASSERT_TRUE(record.LoadDevice("PIC16F877A"));
    writer.AssignFrom(record);
    writer.SocketPins = writer.PinCount;
    ASSERT_TRUE(writer.Poll());
    device.MuteAfterPacket(device.Packets() + 20);

    std::future<bool> worker = std::async(std::launch::async, [&] { return writer.WriteProgram(); });
    const bool ended = worker.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!ended) {
        writer.AbortRequest = true; // end it anyway, so the test does not hang
        Bus().Unplug(device);
    }
    const bool ok = worker.get();
    EXPECT_TRUE(ended) << "a few time-outs, not one per packet";
    EXPECT_FALSE(ok);
}

} // namespace

// The libusb backend without a writer attached: whatever the machine offers
// (no USB subsystem at all in a container, or a bus without the writer), no
// device is found, invalid handles are refused, and an absent writer does not
// cost a bus enumeration on every timer tick.
#include "writer/usb_link/LibUsbLink.h"

#include <gtest/gtest.h>

namespace {

// Identifiers no real device uses.
constexpr uint16_t kNoVendor = 0xFFFE;
constexpr uint16_t kNoProduct = 0xFFFD;

TEST(LibUsbLink, NoDeviceIsFound) {
    CLibUsbLink link;
    EXPECT_EQ(link.OpenDevice(kNoVendor, kNoProduct), IUsbLink::kInvalidHandle);
    EXPECT_EQ(link.OpenDevice(kNoVendor, kNoProduct), IUsbLink::kInvalidHandle);
    if (!link.Available()) {
        EXPECT_FALSE(link.HasHotplug());
        EXPECT_EQ(link.ScanCount(), 0u);
    }
}

TEST(LibUsbLink, InvalidAndClosedHandlesAreRefused) {
    CLibUsbLink link;
    for (IUsbLink::Handle h : {IUsbLink::kInvalidHandle, 0, 1, 2, 3, 12345}) {
        EXPECT_NE(link.CheckPresence(h), 0) << h;
        EXPECT_EQ(link.OpenPipe(h, IUsbLink::kPipeOut), IUsbLink::kInvalidHandle) << h;
        EXPECT_EQ(link.OpenPipe(h, IUsbLink::kPipeIn), IUsbLink::kInvalidHandle) << h;
        const uint8_t packet[2] = {0x80, 0x00};
        EXPECT_FALSE(link.WritePipe(h, packet, sizeof packet)) << h;
        uint8_t answer[64] = {};
        EXPECT_EQ(link.ReadPipe(h, answer, sizeof answer), 0u) << h;
        link.CloseDevice(h); // nothing to close; must not crash
    }
    EXPECT_FALSE(link.WritePipe(3, nullptr, 4));
    EXPECT_EQ(link.ReadPipe(2, nullptr, 10), 0u);
}

TEST(LibUsbLink, AbsentWriterIsNotSearchedForOnEveryTick) {
    CLibUsbLink link;
    // A hundred ticks of 10 ms with two identifier pairs each take far less
    // than a second here, so without hotplug at most the first tick's scans
    // (one per new pair) may enumerate the bus; with hotplug none does.
    for (int tick = 0; tick < 100; ++tick) {
        EXPECT_EQ(link.OpenDevice(kNoVendor, kNoProduct), IUsbLink::kInvalidHandle);
        EXPECT_EQ(link.OpenDevice(kNoVendor, kNoProduct - 1), IUsbLink::kInvalidHandle);
    }
    EXPECT_LE(link.ScanCount(), 2u);
    if (link.HasHotplug()) {
        EXPECT_EQ(link.ScanCount(), 0u);
    }
}

} // namespace

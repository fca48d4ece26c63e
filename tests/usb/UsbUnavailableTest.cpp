// Built when umockdev's development files are missing.
#include <gtest/gtest.h>

TEST(UsbLinkOnEmulatedBus, NeedsUmockdev) {
    GTEST_SKIP()
        << "umockdev is not installed (Debian packages umockdev and libumockdev-dev): neither the libusb "
           "link nor the window program kvx3 is tested against an emulated writer";
}

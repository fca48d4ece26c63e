// Built when umockdev's development files are missing.
#include <gtest/gtest.h>

TEST(UsbLinkOnEmulatedBus, NeedsUmockdev) {
    GTEST_SKIP()
        << "umockdev is not installed (Debian packages umockdev and libumockdev-dev): the libusb link "
           "is not tested against an emulated writer";
}

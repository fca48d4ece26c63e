// The tests of the libusb link need umockdev's preload library in this
// process and in every kvx3-cli they start (see UsbPreload.h). Where the
// library is missing the loader says so and every test skips with the
// reason.
#include <gtest/gtest.h>

#include "tests/usb/UsbPreload.h"

int main(int argc, char** argv) {
    usbtest::LoadPreloadLibrary(argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

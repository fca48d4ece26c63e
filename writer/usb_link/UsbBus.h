// The writer on the USB bus, through the backend this system has: WinUSB on
// Windows, libusb-1.0 elsewhere.
#pragma once

#include "writer/usb_link/UsbLink.h"

#include <memory>

// Null when this build has no USB backend (configured without libusb).
std::unique_ptr<IUsbLink> MakeUsbBusLink();

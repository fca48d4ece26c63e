// The writer on the USB bus, through the backend this system has: WinUSB on
// Windows, libusb-1.0 elsewhere.
#pragma once

#include "writer/usb_link/UsbLink.h"
#include "writer/usb_link/UsbProbe.h"

#include <memory>

// Null when this build has no USB backend (configured without libusb). The
// libusb link's transfers give up after transferTimeoutMs when it is not 0;
// the WinUSB link keeps its own pipe time-out.
std::unique_ptr<IUsbLink> MakeUsbBusLink(unsigned transferTimeoutMs = 0);

// The connection doctor's look at the bus. Where there is no libusb (Windows,
// or a build without it) the probe says so at its first step.
std::unique_ptr<IUsbProbe> MakeUsbBusProbe();

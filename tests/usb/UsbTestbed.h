// A private USB bus for one test, built with umockdev.
//
// The testbed is a temporary sysfs and /dev tree; umockdev's preload library
// (libumockdev-preload, loaded into the test program and every program it
// starts) shows it to libusb instead of the machine's own, and passes each
// ioctl on a device node to the device's handler in this process. libusb's
// Linux backend then runs unchanged: it finds devices through udev (the
// preload also feeds the testbed's uevents to udev monitors, so hotplug
// works), reads the descriptors from sysfs, opens /dev/bus/usb/BBB/DDD and
// drives it with usbdevfs ioctls. Nothing needs privileges or real USB; no
// libusb option is needed either (no LIBUSB_OPTION_NO_DEVICE_DISCOVERY).
//
// Order matters: the testbed must exist before libusb is initialised (it
// sets UMOCKDEV_DIR, and libusb's hotplug monitor binds to the testbed's
// uevent socket when it starts), and libusb must be shut down before the
// testbed goes.
//
// Threads: Plug and Unplug may be called from any thread, also from a
// device's unplug hook on umockdev's worker thread.
#pragma once

#include "tests/usb/UsbdevfsDevice.h"

#include <map>
#include <mutex>
#include <string>

typedef struct _UMockdevTestbed UMockdevTestbed;

class CUsbTestbed {
public:
    CUsbTestbed();
    ~CUsbTestbed();
    CUsbTestbed(const CUsbTestbed&) = delete;
    CUsbTestbed& operator=(const CUsbTestbed&) = delete;

    // Why USB devices cannot be emulated in this process ("" when they can):
    // umockdev's preload library must be loaded.
    static std::string Unavailable();

    // The device arrives on bus 1 at the next free address: its sysfs entry
    // and node, then the "add" event. It also learns to unplug itself.
    void Plug(CUsbdevfsDevice& device);
    // The "remove" event, then the node and the sysfs entry go; the device
    // fails every request from then on. Nothing happens when it is not plugged.
    void Unplug(CUsbdevfsDevice& device);

private:
    struct CPlugged {
        std::string SysPath;
        std::string Devnode;
    };

    UMockdevTestbed* m_testbed = nullptr;
    std::mutex m_mutex;
    std::map<CUsbdevfsDevice*, CPlugged> m_plugged;
    int m_nextAddress = 2; // 1 is the root hub's
};

#include "tests/usb/UsbTestbed.h"

#include <umockdev.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::string ThreeDigits(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", n);
    return text;
}

std::string Hex4(unsigned n) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", n);
    return text;
}

} // namespace

std::string CUsbTestbed::Unavailable() {
    std::ifstream maps("/proc/self/maps");
    const std::string text((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
    if (text.find("libumockdev-preload") == std::string::npos) {
        return "umockdev's preload library is not loaded (install the Debian packages umockdev and "
               "libumockdev-dev, or run the tests under umockdev-wrapper): the libusb link is not tested "
               "against an emulated writer";
    }
    return "";
}

CUsbTestbed::CUsbTestbed() : m_testbed(umockdev_testbed_new()) {}

CUsbTestbed::~CUsbTestbed() {
    std::vector<CUsbdevfsDevice*> devices;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& entry : m_plugged) {
            devices.push_back(entry.first);
        }
    }
    for (CUsbdevfsDevice* device : devices) {
        Unplug(*device);
    }
    g_object_unref(m_testbed);
}

void CUsbTestbed::Plug(CUsbdevfsDevice& device) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_plugged.count(&device) != 0) {
        return;
    }
    const int address = m_nextAddress;
    m_nextAddress = m_nextAddress >= 127 ? 2 : m_nextAddress + 1;
    const int port = address - 1;
    CPlugged where;
    where.SysPath = "/sys/devices/1-" + std::to_string(port);
    where.Devnode = "/dev/bus/usb/001/" + ThreeDigits(address);

    // The handler first, so that the node answers as soon as the "add"
    // event makes a host open it.
    device.SetUnplugHook([this, &device] { Unplug(device); });
    device.Attach(where.Devnode);
    GError* error = nullptr;
    umockdev_testbed_attach_ioctl(m_testbed, where.Devnode.c_str(), device.Handler(), &error);
    if (error != nullptr) {
        g_error_free(error);
        error = nullptr;
    }

    // The node is a plain file (umockdev would make a pty without the
    // contents): libusb reads the descriptors from sysfs and never reads
    // the node, and every ioctl on it goes to the handler anyway.
    const CUsbDeviceLayout& layout = device.Layout();
    const std::string record =
        "P: " + where.SysPath.substr(4) + "\n" + "N: bus/usb/001/" + ThreeDigits(address) + "=00\n" +
        "E: SUBSYSTEM=usb\n"
        "E: DEVTYPE=usb_device\n"
        "E: DRIVER=usb\n"
        "E: DEVNAME=" +
        where.Devnode + "\n" + "E: BUSNUM=001\n" + "E: DEVNUM=" + ThreeDigits(address) + "\n" +
        "A: busnum=1\\n\n" + "A: devnum=" + std::to_string(address) + "\\n\n" +
        "A: idVendor=" + Hex4(layout.VendorId) + "\\n\n" + "A: idProduct=" + Hex4(layout.ProductId) +
        "\\n\n" + "A: bConfigurationValue=" + (layout.Configured ? "1" : "") + "\\n\n" +
        "A: bNumConfigurations=1\\n\n" + "A: speed=12\\n\n" +
        "H: descriptors=" + HexString(DescriptorBytes(layout)) + "\n";
    umockdev_testbed_add_from_string(m_testbed, record.c_str(), &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    m_plugged[&device] = where;
}

void CUsbTestbed::Unplug(CUsbdevfsDevice& device) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_plugged.find(&device);
    if (it == m_plugged.end()) {
        return;
    }
    const CPlugged where = it->second;
    m_plugged.erase(it);
    device.Detach();
    // The event carries the device's properties, which umockdev reads from
    // its sysfs entry: it must go out before the entry is removed.
    umockdev_testbed_uevent(m_testbed, where.SysPath.c_str(), "remove");
    umockdev_testbed_remove_device(m_testbed, where.SysPath.c_str());
    GError* error = nullptr;
    umockdev_testbed_detach_ioctl(m_testbed, where.Devnode.c_str(), &error);
    if (error != nullptr) {
        g_error_free(error);
    }
}

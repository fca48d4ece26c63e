// The USB probe over libusb-1.0; with LibUsbLink.cpp the only files that
// include <libusb.h>.
#include "writer/usb_link/LibUsbProbe.h"

#include <libusb.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

std::string PortPath(libusb_device* device) {
    uint8_t ports[8] = {};
    const int n = libusb_get_port_numbers(device, ports, static_cast<int>(sizeof ports));
    std::string path = std::to_string(libusb_get_bus_number(device));
    for (int i = 0; i < n; ++i) {
        path += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
    }
    return path;
}

#ifdef __linux__
// The driver bound to the device's first interface, from sysfs ("" when
// none is bound; false when sysfs does not know the device). It needs no
// access to the device itself.
bool SysfsDriver(const std::string& port, std::string& driver) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path devices("/sys/bus/usb/devices");
    for (const fs::directory_entry& entry : fs::directory_iterator(devices, error)) {
        const std::string name = entry.path().filename().string();
        // "<port>:<configuration>.<interface>", interface 0.
        if (name.rfind(port + ":", 0) != 0 || name.size() < 2 ||
            name.compare(name.size() - 2, 2, ".0") != 0) {
            continue;
        }
        const fs::path link = entry.path() / "driver";
        driver = fs::is_symlink(link, error) ? fs::read_symlink(link, error).filename().string() : "";
        return true;
    }
    return false;
}
#endif

} // namespace

CLibUsbProbe::~CLibUsbProbe() {
    if (m_context != nullptr) {
        libusb_exit(m_context);
    }
}

bool CLibUsbProbe::Initialise(std::string& detail) {
    const libusb_version* v = libusb_get_version();
    char version[48];
    std::snprintf(version, sizeof version, "libusb %u.%u.%u", v->major, v->minor, v->micro);
    if (m_context == nullptr) {
        const int r = libusb_init(&m_context);
        if (r != 0) {
            m_context = nullptr;
            detail = std::string(version) + ": " + libusb_error_name(r);
            return false;
        }
    }
    detail = version;
    return true;
}

std::vector<CUsbDeviceInfo> CLibUsbProbe::FindDevices(const std::vector<IdPair>& ids) {
    std::vector<CUsbDeviceInfo> found;
    if (m_context == nullptr) {
        return found;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(list[i], &desc) != 0 ||
            std::find(ids.begin(), ids.end(), IdPair{desc.idVendor, desc.idProduct}) == ids.end()) {
            continue;
        }
        CUsbDeviceInfo info;
        info.VendorId = desc.idVendor;
        info.ProductId = desc.idProduct;
        info.Bus = libusb_get_bus_number(list[i]);
        info.Address = libusb_get_device_address(list[i]);
        info.Port = PortPath(list[i]);
#ifdef __linux__
        char node[32];
        std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", info.Bus, info.Address);
        info.Node = node;
#endif
        found.push_back(info);
    }
    if (list != nullptr) {
        libusb_free_device_list(list, 1);
    }
    std::sort(found.begin(), found.end(), [](const CUsbDeviceInfo& a, const CUsbDeviceInfo& b) {
        return a.Bus != b.Bus ? a.Bus < b.Bus : a.Address < b.Address;
    });
    return found;
}

EUsbOpen CLibUsbProbe::TryOpen(const CUsbDeviceInfo& device, std::string& detail) {
    detail.clear();
    if (m_context == nullptr) {
        detail = "libusb is not initialised";
        return EUsbOpen::Failed;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    EUsbOpen result = EUsbOpen::Gone;
    for (ssize_t i = 0; i < count; ++i) {
        if (libusb_get_bus_number(list[i]) != device.Bus ||
            libusb_get_device_address(list[i]) != device.Address) {
            continue;
        }
        libusb_device_handle* handle = nullptr;
        const int r = libusb_open(list[i], &handle);
        if (r == 0) {
            libusb_close(handle);
            result = EUsbOpen::Opened;
        } else {
            result = r == LIBUSB_ERROR_ACCESS      ? EUsbOpen::NoPermission
                     : r == LIBUSB_ERROR_NO_DEVICE ? EUsbOpen::Gone
                                                   : EUsbOpen::Failed;
            detail = libusb_error_name(r);
        }
        break;
    }
    if (list != nullptr) {
        libusb_free_device_list(list, 1);
    }
    return result;
}

EKernelDriver CLibUsbProbe::KernelDriver(const CUsbDeviceInfo& device, std::string& driver) {
    driver.clear();
#ifdef __linux__
    if (SysfsDriver(device.Port, driver)) {
        return driver.empty() ? EKernelDriver::None : EKernelDriver::Attached;
    }
#endif
    if (m_context == nullptr) {
        return EKernelDriver::Unknown;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    EKernelDriver result = EKernelDriver::Unknown;
    for (ssize_t i = 0; i < count; ++i) {
        if (libusb_get_bus_number(list[i]) != device.Bus ||
            libusb_get_device_address(list[i]) != device.Address) {
            continue;
        }
        libusb_device_handle* handle = nullptr;
        if (libusb_open(list[i], &handle) == 0) {
            const int active = libusb_kernel_driver_active(handle, 0);
            result = active == 1   ? EKernelDriver::Attached
                     : active == 0 ? EKernelDriver::None
                                   : EKernelDriver::Unknown;
            libusb_close(handle);
        }
        break;
    }
    if (list != nullptr) {
        libusb_free_device_list(list, 1);
    }
    return result;
}

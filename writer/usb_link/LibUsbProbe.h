// The USB probe over libusb-1.0, with the kernel driver's name from sysfs on
// Linux where libusb itself cannot tell (a device this user may not open).
#pragma once

#include "writer/usb_link/UsbProbe.h"

struct libusb_context;

class CLibUsbProbe final : public IUsbProbe {
public:
    CLibUsbProbe() = default;
    ~CLibUsbProbe() override;
    CLibUsbProbe(const CLibUsbProbe&) = delete;
    CLibUsbProbe& operator=(const CLibUsbProbe&) = delete;

    bool Initialise(std::string& detail) override;
    std::vector<CUsbDeviceInfo> FindDevices(const std::vector<IdPair>& ids) override;
    EUsbOpen TryOpen(const CUsbDeviceInfo& device, std::string& detail) override;
    EKernelDriver KernelDriver(const CUsbDeviceInfo& device, std::string& driver) override;

private:
    libusb_context* m_context = nullptr;
};

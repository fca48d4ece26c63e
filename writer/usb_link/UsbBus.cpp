#include "writer/usb_link/UsbBus.h"

#if defined(_WIN32)
#include "writer/usb_link/WinUsbLink.h"
#endif
#if defined(KVX3_HAVE_LIBUSB)
#include "writer/usb_link/LibUsbLink.h"
#include "writer/usb_link/LibUsbProbe.h"
#endif

namespace {

#if !defined(KVX3_HAVE_LIBUSB)
// The bus checks need libusb's view of every device (identifiers, who may
// open it, the kernel driver); without it the doctor reports that and stops
// at its first step rather than claim an empty bus.
class CNoLibUsbProbe final : public IUsbProbe {
public:
    bool Initialise(std::string& detail) override {
        detail = "this build has no libusb to look at the bus with";
        return false;
    }
    std::vector<CUsbDeviceInfo> FindDevices(const std::vector<IdPair>& /*ids*/) override { return {}; }
    EUsbOpen TryOpen(const CUsbDeviceInfo& /*device*/, std::string& detail) override {
        detail = "no libusb";
        return EUsbOpen::Failed;
    }
    EKernelDriver KernelDriver(const CUsbDeviceInfo& /*device*/, std::string& driver) override {
        driver.clear();
        return EKernelDriver::Unknown;
    }
};
#endif

} // namespace

std::unique_ptr<IUsbLink> MakeUsbBusLink([[maybe_unused]] unsigned transferTimeoutMs) {
#if defined(_WIN32)
    return std::make_unique<CWinUsbLink>(MakeWinUsbApi());
#elif defined(KVX3_HAVE_LIBUSB)
    return transferTimeoutMs == 0 ? std::make_unique<CLibUsbLink>()
                                  : std::make_unique<CLibUsbLink>(transferTimeoutMs);
#else
    return nullptr;
#endif
}

std::unique_ptr<IUsbProbe> MakeUsbBusProbe() {
#if defined(KVX3_HAVE_LIBUSB)
    return std::make_unique<CLibUsbProbe>();
#else
    return std::make_unique<CNoLibUsbProbe>();
#endif
}

// A look at the USB bus for what stands between the user and the writer:
// whether the USB library works, which devices carry the writer's
// identifiers, whether this user may open each, and whether a kernel driver
// holds its interface. The connection doctor is written against this, so
// every answer can be faked in a test.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct CUsbDeviceInfo {
    uint16_t VendorId = 0;
    uint16_t ProductId = 0;
    int Bus = 0;
    int Address = 0;  // the device number on its bus
    std::string Port; // the port path, as "1-4.2" (bus, then ports)
    std::string Node; // where the system exposes it ("/dev/bus/usb/001/005"); may be empty
};

enum class EUsbOpen {
    Opened,       // this user may open it
    NoPermission, // the system refused this user
    Gone,         // it went away before it could be opened
    Failed,       // any other refusal (see the detail text)
};

enum class EKernelDriver {
    None,     // no kernel driver holds the interface
    Attached, // one does (the link detaches it when it opens the writer)
    Unknown,  // the system does not say
};

class IUsbProbe {
public:
    using IdPair = std::pair<uint16_t, uint16_t>;
    virtual ~IUsbProbe() = default;

    // The USB library starts; `detail` gives its version, or why it fails.
    virtual bool Initialise(std::string& detail) = 0;
    // The attached devices with any of these identifiers, in bus order.
    virtual std::vector<CUsbDeviceInfo> FindDevices(const std::vector<IdPair>& ids) = 0;
    // Opens the device and closes it again at once.
    virtual EUsbOpen TryOpen(const CUsbDeviceInfo& device, std::string& detail) = 0;
    // Whether a kernel driver holds the device's first interface; `driver`
    // names it when the system says.
    virtual EKernelDriver KernelDriver(const CUsbDeviceInfo& device, std::string& driver) = 0;
};

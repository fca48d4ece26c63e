// What an emulated USB device tells the host about itself: its identifiers
// and the interfaces and endpoints of its one configuration, as the bytes
// that sysfs shows in a device's "descriptors" file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum : uint8_t {
    kUsbBulk = 0x02,
    kUsbInterrupt = 0x03,
    kUsbIsochronous = 0x01,
    kUsbDirIn = 0x80,
};

struct CUsbEndpoint {
    uint8_t Address = 0; // bit 7 set: IN
    uint8_t Attributes = kUsbBulk;
    uint16_t MaxPacket = 64;
    bool IsIn() const { return (Address & kUsbDirIn) != 0; }
    uint8_t Type() const { return Attributes & 0x03; }
};

struct CUsbInterface {
    uint8_t Number = 0;
    std::vector<CUsbEndpoint> Endpoints;
    // A kernel driver bound to the interface when the device arrives ("" for
    // none); the host must detach it before it can claim the interface.
    std::string KernelDriver;
};

struct CUsbDeviceLayout {
    uint16_t VendorId = 0x0ADE;
    uint16_t ProductId = 0x0010;
    std::vector<CUsbInterface> Interfaces;
    // Whether the kernel has selected the configuration (sysfs shows
    // bConfigurationValue 1) or left the device unconfigured (empty value).
    bool Configured = true;
};

// The writer as it ships: one interface with bulk OUT 0x01 and bulk IN 0x81.
CUsbDeviceLayout WriterLayout(uint16_t vendorId = 0x0ADE, uint16_t productId = 0x0010);

// Device descriptor followed by the configuration descriptor with its
// interfaces and endpoints, multi-byte fields little-endian.
std::vector<uint8_t> DescriptorBytes(const CUsbDeviceLayout& layout);

// The bytes as one continuous upper-case hex string.
std::string HexString(const std::vector<uint8_t>& bytes);

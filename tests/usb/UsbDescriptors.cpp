#include "tests/usb/UsbDescriptors.h"

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

} // namespace

CUsbDeviceLayout WriterLayout(uint16_t vendorId, uint16_t productId) {
    CUsbDeviceLayout layout;
    layout.VendorId = vendorId;
    layout.ProductId = productId;
    CUsbInterface pipes;
    pipes.Number = 0;
    pipes.Endpoints = {{0x81, kUsbBulk, 64}, {0x01, kUsbBulk, 64}};
    layout.Interfaces.push_back(pipes);
    return layout;
}

std::vector<uint8_t> DescriptorBytes(const CUsbDeviceLayout& layout) {
    std::vector<uint8_t> out = {18, 0x01};
    Put16(out, 0x0200);                   // bcdUSB
    out.insert(out.end(), {0, 0, 0, 64}); // class per interface; control pipe of 64 bytes
    Put16(out, layout.VendorId);
    Put16(out, layout.ProductId);
    Put16(out, 0x0100);                  // bcdDevice
    out.insert(out.end(), {0, 0, 0, 1}); // no strings; one configuration

    std::vector<uint8_t> body;
    for (const CUsbInterface& intf : layout.Interfaces) {
        body.insert(body.end(),
                    {9, 0x04, intf.Number, 0, static_cast<uint8_t>(intf.Endpoints.size()), 0xFF, 0, 0, 0});
        for (const CUsbEndpoint& ep : intf.Endpoints) {
            body.insert(body.end(), {7, 0x05, ep.Address, ep.Attributes});
            Put16(body, ep.MaxPacket);
            body.push_back(ep.Type() == kUsbInterrupt ? 10 : 0);
        }
    }
    out.insert(out.end(), {9, 0x02});
    Put16(out, static_cast<uint16_t>(9 + body.size()));
    out.insert(out.end(),
               {static_cast<uint8_t>(layout.Interfaces.size()), 1, 0, 0x80, 50}); // bus powered, 100 mA
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::string HexString(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

// The writer's link as the station hands it to CWriter: a link in front of
// whichever backend has been chosen (libusb, the simulated writer, or one a
// test brings). The writer is made once, with this link; the backend behind
// it can be chosen later, once the selected device is known, and changed
// while no writer is open through it. Without a backend no writer is found.
#pragma once

#include "writer/usb_link/UsbLink.h"

#include <atomic>

class CBackendLink final : public IUsbLink {
public:
    // False (and nothing changed) while a device opened through this link
    // has not been closed. The backend must outlive its use here.
    bool SetBackend(IUsbLink* backend);
    IUsbLink* Backend() const { return m_backend.load(); }
    // A device opened through this link has not been closed yet.
    bool HasOpenDevice() const { return m_openDevices.load() != 0; }

    Handle OpenDevice(uint16_t vendorId, uint16_t productId) override;
    Handle OpenPipe(Handle device, int pipe) override;
    bool WritePipe(Handle pipe, const uint8_t* data, size_t length) override;
    size_t ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) override;
    size_t ReadAnswer(Handle pipe, uint8_t* buffer, size_t maxLength, bool& failed) override;
    size_t DrainPipe(Handle pipe, unsigned waitMs) override;
    int CheckPresence(Handle device) override;
    void CloseDevice(Handle device) override;
    void HostDelay(unsigned milliseconds) override;

private:
    // Read by the worker's transfers and the timer's presence check alike.
    std::atomic<IUsbLink*> m_backend{nullptr};
    std::atomic<int> m_openDevices{0};
};

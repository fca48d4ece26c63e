// The libusb-1.0 backend of the writer link.
//
// A device is opened by vendor and product id; its first interface with a
// bulk OUT and a bulk IN endpoint becomes pipe 1 (OUT) and pipe 0 (IN), after
// any kernel driver bound to it has been detached. Every transfer has the
// link's time-out (IUsbLink::kTransferTimeoutMs); a transfer that times out
// has failed.
//
// Finding the writer costs no bus scan on every timer tick: where libusb
// offers hotplug, arrivals and removals of the identifiers asked for are
// delivered as events (handled, without blocking, from OpenDevice and
// CheckPresence), and opening only tries devices that have arrived. Without
// hotplug the bus is enumerated at most once a second, for opening and for
// the presence check alike. A transfer that finds the device gone marks it
// gone at once.
//
// When libusb cannot be initialised (no USB subsystem, a container without
// /dev/bus/usb), every open fails and every presence check reports gone.
//
// Threads: CheckPresence may run while another thread is inside WritePipe or
// ReadPipe; OpenDevice and CloseDevice are never called during a transfer.
#pragma once

#include "writer/usb_link/UsbLink.h"

#include <memory>

class CLibUsbLink final : public IUsbLink {
public:
    // DrainPipe reads off at most this many waiting answers at one time.
    static constexpr unsigned kMaxDrainedAnswers = 16;

    CLibUsbLink();
    // Transfers give up after transferTimeoutMs instead (tests against a
    // writer that stays silent keep their waits short this way).
    explicit CLibUsbLink(unsigned transferTimeoutMs);
    ~CLibUsbLink() override;
    CLibUsbLink(const CLibUsbLink&) = delete;
    CLibUsbLink& operator=(const CLibUsbLink&) = delete;

    // libusb was initialised; false means no device can ever be found.
    bool Available() const;
    // Arrivals and removals come as hotplug events.
    bool HasHotplug() const;
    // Bus enumerations made so far by this backend (for tests and traces).
    unsigned ScanCount() const;

    Handle OpenDevice(uint16_t vendorId, uint16_t productId) override;
    Handle OpenPipe(Handle device, int pipe) override;
    bool WritePipe(Handle pipe, const uint8_t* data, size_t length) override;
    size_t ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) override;
    // A time-out, an error or a device gone is a failed read; a completed
    // transfer is not, even one that carried no bytes.
    size_t ReadAnswer(Handle pipe, uint8_t* buffer, size_t maxLength, bool& failed) override;
    // Reads waiting answers off the IN endpoint, each with a time-out of
    // waitMs (at least 1 ms), until one does not come (at most
    // kMaxDrainedAnswers).
    size_t DrainPipe(Handle pipe, unsigned waitMs) override;
    int CheckPresence(Handle device) override;
    void CloseDevice(Handle device) override;

    struct CState;

private:
    std::unique_ptr<CState> m_state;
};

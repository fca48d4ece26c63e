// A USB backend in front of another one that lets a test hold the worker
// still in the middle of an operation.
//
// After PauseAtPacket(n), the n-th packet written from then on blocks inside
// WritePipe (before it is passed on) until Resume. The test waits for that
// with WaitUntilPaused, does what it wants to do "during" the operation (a
// Cancel, an unplug of the writer behind), and resumes. Only the writer's
// link lock is held by the paused worker, so the test may tick the runner
// while the writer stays plugged in; after an unplug it must resume before
// ticking (the writer's close waits for the exchange in flight).
#pragma once

#include "writer/usb_link/UsbLink.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

class CGatedLink : public IUsbLink {
public:
    explicit CGatedLink(IUsbLink& inner) : m_inner(inner) {}
    ~CGatedLink() override { Resume(); }

    void PauseAtPacket(size_t n);
    // False when no packet reached the hold within the time.
    bool WaitUntilPaused(int timeoutMs = 5000);
    void Resume();
    // Packets the host has written through this link.
    size_t PacketsWritten() const;

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
    IUsbLink& m_inner;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    size_t m_packets = 0;
    size_t m_pauseAt = 0; // 0 = no hold
    bool m_paused = false;
    bool m_resume = false;
};

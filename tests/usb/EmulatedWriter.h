// The writer on the emulated bus: a usbdevfs device whose bulk pipes lead to
// the simulated writer's firmware and the simulated chip in its socket.
//
// Every bulk OUT packet goes to CSimWriter as one packet; its answer waits
// in the device's IN buffer until the host's next IN transfer takes it, as a
// real writer's endpoint buffer would hold it. The firmware runs on the
// first bulk OUT and bulk IN endpoints of the device's descriptors, wherever
// they are.
//
// Faults, counted by packet (the first packet after power-on is 1):
//  - unplug at packet n: the writer takes packet n, and the cable goes while
//    the host waits for its answer;
//  - mute after packet n: later packets are taken but never answered, or
//    not even taken (the host's OUT transfer then waits too);
//  - a late answer to packet n: it comes `delay` after the packet.
#pragma once

#include "sim/SimChip.h"
#include "sim/SimWriter.h"
#include "tests/usb/UsbdevfsDevice.h"

#include <chrono>
#include <memory>

class CEmulatedWriter final : public CUsbdevfsDevice {
public:
    CEmulatedWriter(CUsbDeviceLayout layout, std::unique_ptr<ISimChip> chip);
    ~CEmulatedWriter() override;

    // Runs `look` on the simulated writer and its chip while the device is
    // held still: no request is answered meanwhile.
    template <class Look> auto Inspect(Look&& look) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return look(m_sim);
    }

    void UnplugAtPacket(uint64_t packet);
    void MuteAfterPacket(uint64_t packet, bool refuseOut = false);
    void AnswerLate(uint64_t packet, std::chrono::milliseconds delay);
    void ClearFaults();

    // Packets taken since the last power-on, and all packets ever taken.
    uint64_t Packets() const;
    std::vector<std::vector<uint8_t>> Log() const;
    void ClearLog();

protected:
    bool OnBulkOut(uint8_t endpoint, const std::vector<uint8_t>& data) override;
    bool TakeBulkIn(uint8_t endpoint, std::vector<uint8_t>& data) override;
    void OnAttached() override;
    void OnDetached() override;

private:
    using Clock = std::chrono::steady_clock;
    struct CAnswer {
        uint64_t Packet = 0;
        std::vector<uint8_t> Bytes;
        Clock::time_point Ready{};
    };

    CSimWriter m_sim;
    uint8_t m_out = 0;
    uint8_t m_in = 0;
    IUsbLink::Handle m_pipeOut = IUsbLink::kInvalidHandle;
    IUsbLink::Handle m_pipeIn = IUsbLink::kInvalidHandle;
    uint64_t m_packets = 0;
    std::deque<CAnswer> m_answers;
    std::vector<std::vector<uint8_t>> m_log;

    uint64_t m_unplugAt = 0;
    uint64_t m_muteAfter = 0;
    bool m_refuseOut = false;
    uint64_t m_latePacket = 0;
    std::chrono::milliseconds m_lateBy{0};
};

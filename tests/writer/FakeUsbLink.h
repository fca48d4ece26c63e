// A recording, scripted stand-in for the USB backend.
//
// It records every packet written (with the maximum length of the read that
// followed it), every open attempt, presence check, close and host delay, and
// answers each read from a queue of scripted answers or, when the queue is
// empty, from a responder callback (default: as many zero bytes as the
// packet's read commands give). It also checks the contract CWriter owes a
// backend: no call on a handle that is not open (or after it was closed), no
// read on the OUT pipe or write on the IN pipe, a read only after a write, no
// two transfers at once and no close during a transfer. Every breach is
// counted as a violation. Thread-safe.
#pragma once

#include "writer/usb_link/UsbLink.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;

// "80 0E 80 0B" -> {0x80, 0x0E, 0x80, 0x0B}
Bytes Hex(const std::string& text);
std::string ToHex(const Bytes& bytes);

// Answer bytes that the read commands of a packet give, walking its opcodes.
size_t AnswerLength(const Bytes& packet);

struct CPacketRecord {
    Bytes Data;
    size_t AnswerMax = 0; // 0 when no read followed
    bool operator==(const CPacketRecord& other) const = default;
};

class CFakeUsbLink : public IUsbLink {
public:
    using Responder = std::function<Bytes(const Bytes& packet, size_t maxLength)>;

    // --- the world ---
    void Plug(uint16_t vendorId, uint16_t productId);
    void Unplug();
    void QueueAnswer(Bytes answer);
    void SetResponder(Responder responder);
    // Called (outside the lock) after each packet the writer has written,
    // with the number of packets recorded so far.
    void SetWriteHook(std::function<void(size_t)> hook);
    // Called (outside the lock) on every host delay, after it was recorded.
    void SetDelayHook(std::function<void(unsigned)> hook);
    // Fills the rest of a read buffer, beyond what came, with 0xEE (a
    // backend is free to leave anything there).
    void SetScribble(bool on) { m_scribble = on; }

    // --- records ---
    std::vector<CPacketRecord> Packets() const;
    size_t PacketCount() const;
    std::vector<std::pair<uint16_t, uint16_t>> OpenAttempts() const;
    std::vector<unsigned> Delays() const;
    int Violations() const { return m_violations.load(); }
    std::vector<std::string> ViolationLog() const;
    int PresenceChecks() const;
    int Closes() const;
    int FailedWrites() const;
    void ClearRecords();

    // --- IUsbLink ---
    Handle OpenDevice(uint16_t vendorId, uint16_t productId) override;
    Handle OpenPipe(Handle device, int pipe) override;
    bool WritePipe(Handle pipe, const uint8_t* data, size_t length) override;
    size_t ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) override;
    int CheckPresence(Handle device) override;
    void CloseDevice(Handle device) override;
    void HostDelay(unsigned milliseconds) override;

private:
    void Violation(const std::string& what);
    bool PipeOpen(Handle pipe, int direction) const;

    mutable std::mutex m_mutex;
    bool m_attached = false;
    uint16_t m_vendorId = 0;
    uint16_t m_productId = 0;
    Handle m_nextDevice = 100;
    std::set<Handle> m_openDevices;
    std::vector<Bytes> m_script;
    Responder m_responder;
    std::function<void(size_t)> m_writeHook;
    std::function<void(unsigned)> m_delayHook;
    std::atomic<bool> m_scribble{false};
    std::vector<CPacketRecord> m_packets;
    bool m_awaitingRead = false;
    std::vector<std::pair<uint16_t, uint16_t>> m_openAttempts;
    std::vector<unsigned> m_delays;
    std::vector<std::string> m_violationLog;
    std::atomic<int> m_violations{0};
    std::atomic<int> m_inTransfer{0};
    int m_presenceChecks = 0;
    int m_closes = 0;
    int m_failedWrites = 0;
};

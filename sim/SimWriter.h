// CSimWriter: the simulated writer as a USB backend. It answers OpenDevice for
// one identifier pair, hands out pipe handles, runs every packet written to
// the OUT pipe through the simulated firmware and gives its answer to the
// next read of the IN pipe. A test plugs and unplugs it, puts a chip in the
// socket, injects faults and reads its counters.
//
// Host obligations it checks and counts (CSimObligations): packets of at
// most 64 bytes, an answer read after every packet before the next one, and
// a read long enough for the whole answer (a shorter read truncates it).
//
// Answers wait in the IN endpoint in order, as on the bus. Normally there is
// one, the answer of the last packet; the faults put more there or none: a
// mute writer takes packets and answers nothing, a late answer arrives just
// after its read has timed out (so the next read would take it for its own),
// and a double answer leaves a copy behind. A read that finds nothing costs
// the backend's time-out of simulated time and fails.
//
// Threads: CheckPresence may run on any thread at any time, also while a
// transfer runs on another; it touches only atomics. Every other call takes
// the writer's lock, so Plug, Unplug and the counters are safe from a test
// thread too; Chip() and Firmware() hand out the objects themselves and are
// for a test that has no transfer running.
#pragma once

#include "sim/SimChip.h"
#include "sim/SimFirmware.h"
#include "writer/usb_link/UsbLink.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct CSimWriterConfig {
    // The one identifier pair this writer answers to (the second pair the
    // host tries is 0x08DA / 0xFF0B).
    uint16_t VendorId = 0x0ADE;
    uint16_t ProductId = 0x0010;
    CSimFirmwareConfig Firmware;
    uint32_t UsbWriteUs = 125; // one OUT transfer
    uint32_t UsbReadUs = 125;  // one IN transfer
    // A read that nothing answers ends after the time-out the libusb backend
    // gives every transfer.
    uint32_t ReadTimeoutUs = 2000000;
    bool PluggedIn = true; // attached from the start
};

struct CSimObligations {
    uint64_t OversizePackets = 0;    // packets longer than 64 bytes
    uint64_t WritesWithoutRead = 0;  // a packet written while the last answer was unread
    uint64_t ReadsWithoutAnswer = 0; // a read with no packet written before it
    uint64_t TruncatedAnswers = 0;   // a read shorter than the answer
    uint64_t Total() const {
        return OversizePackets + WritesWithoutRead + ReadsWithoutAnswer + TruncatedAnswers;
    }
};

struct CSimWriterCounters {
    uint64_t Packets = 0;         // packets written while attached (run, or taken by a mute writer)
    uint64_t MutedPackets = 0;    // ... of them taken and never run nor answered
    uint64_t TimedOutReads = 0;   // reads that found no answer and waited out the time-out
    uint64_t DrainedAnswers = 0;  // answers the host read off and dropped with DrainPipe
    uint64_t BytesOut = 0;        // host to writer
    uint64_t BytesIn = 0;         // writer to host, as delivered
    uint64_t OpenAttempts = 0;    // OpenDevice calls, matching or not
    uint64_t Opens = 0;           // OpenDevice calls that gave a handle
    uint64_t FailedTransfers = 0; // writes and reads refused (unplugged, stale or wrong handle)
    uint64_t ElapsedUs = 0;       // simulated time: transfers, commands, waits, host delays
    CSimObligations Obligations;
    CSimFirmwareCounters Firmware;
    std::string LastError; // the firmware's last error text
};

// The host's breaches of the chip's and the writer's rules, summed over the
// writer's life: what a run on the simulated writer must leave at zero. A
// real chip would have been left half-programmed or unprogrammed by each.
struct CSimBreaches {
    uint64_t CyclesCutShort = 0;     // programming and erase cycles the chip did not complete
    uint64_t CommandsWithoutVpp = 0; // ICSP commands to a chip without programming voltage
    uint64_t OversizePackets = 0;    // packets longer than 64 bytes
    uint64_t AnswersNotRead = 0;     // answers left unread, or read shorter than they were
    uint64_t EntriesRefused = 0;     // programming-mode entries the chip refused (VPP after VDD)
    bool HasBreaches() const {
        return CyclesCutShort + CommandsWithoutVpp + OversizePackets + AnswersNotRead + EntriesRefused != 0;
    }
    // One line naming the counters that are not zero, for instance
    // "2 cycles cut short, 1 answer not read"; "" when there are none.
    std::string Text() const;
};

// A snapshot of the writer's hardware state.
struct CSimWriterState {
    bool PowerLed = false, BusyLed = false, ErrorLed = false, DcDc = false;
    ESimMclr Mclr = ESimMclr::Normal;
    ESimSocket Socket = ESimSocket::Icsp;
    bool Vpp = false;        // MCLR at VPP with the converter on
    bool ChipWired = false;  // a chip is in the socket and the wiring suits it
    bool ChipHasVpp = false; // ... and it has the programming voltage
};

class CSimWriter : public IUsbLink {
public:
    explicit CSimWriter(const CSimWriterConfig& config = {});
    explicit CSimWriter(std::unique_ptr<ISimChip> chip, const CSimWriterConfig& config = {});
    ~CSimWriter() override;
    CSimWriter(const CSimWriter&) = delete;
    CSimWriter& operator=(const CSimWriter&) = delete;

    // --- IUsbLink ---
    Handle OpenDevice(uint16_t vendorId, uint16_t productId) override;
    Handle OpenPipe(Handle device, int pipe) override;
    bool WritePipe(Handle pipe, const uint8_t* data, size_t length) override;
    size_t ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) override;
    // A read that finds no answer waiting fails after the time-out.
    size_t ReadAnswer(Handle pipe, uint8_t* buffer, size_t maxLength, bool& failed) override;
    // Drops the answers waiting; with none, the wait passes in simulated time.
    size_t DrainPipe(Handle pipe, unsigned waitMs) override;
    int CheckPresence(Handle device) override;
    void CloseDevice(Handle device) override;
    // Advances the simulated clock; never sleeps.
    void HostDelay(unsigned milliseconds) override;

    // --- the socket ---
    void InsertChip(std::unique_ptr<ISimChip> chip);
    std::unique_ptr<ISimChip> RemoveChip();
    ISimChip* Chip() { return m_chip.get(); }
    template <class T> T* ChipAs() { return dynamic_cast<T*>(m_chip.get()); }

    // --- the cable ---
    // Unplug: every later transfer fails and presence reports the writer
    // gone; the chip loses its programming voltage. Plug: attached again,
    // firmware at power-on; it must be opened again and gets new handles.
    void Plug();
    void Unplug();
    bool PluggedIn() const { return m_plugged.load(); }

    // --- faults; packet numbers count every packet written while attached
    // (Counters().Packets), the first is 1 ---
    // The writer goes away once packet n has been answered (or at the next
    // write if its answer is never read). 0 = never.
    void UnplugAfterPacket(uint64_t packetNumber);
    // The answer to packet n loses its last k bytes; EmptyAnswer: all of them.
    void ShortenAnswer(uint64_t packetNumber, size_t dropBytes);
    void EmptyAnswer(uint64_t packetNumber);
    // The writer stays attached but, after packet n, takes every packet
    // without running or answering it (n = 0: from the first). kNever ends it.
    static constexpr uint64_t kNever = UINT64_MAX;
    void MuteAfterPacket(uint64_t packetNumber);
    // Packet n runs, but its answer comes only once the host's read of it
    // has timed out: the next read finds it unless the host drains first.
    void AnswerLate(uint64_t packetNumber);
    // Packet n is answered twice: a copy is left behind its answer.
    void AnswerTwice(uint64_t packetNumber);
    void ClearFaults();

    CSimWriterCounters Counters() const;
    // The breaches so far, the chip's included (the chip in the socket now).
    CSimBreaches Breaches() const;
    CSimWriterState State() const;
    CSimFirmware& Firmware() { return m_firmware; }

private:
    void UnplugLocked();
    void ForgetAnswers();
    bool PipeMatches(Handle pipe, int which) const;

    CSimWriterConfig m_config;
    mutable std::mutex m_mutex;
    CSimFirmware m_firmware;
    std::unique_ptr<ISimChip> m_chip;

    std::atomic<bool> m_plugged{false};
    std::atomic<Handle> m_device{kInvalidHandle};
    int32_t m_openCount = 0;

    // The IN endpoint: answers waiting to be read, oldest first; an answer
    // that arrives once the read of its packet has timed out; and whether a
    // packet has been written whose read has not been made yet.
    std::deque<std::vector<uint8_t>> m_waiting;
    std::optional<std::vector<uint8_t>> m_late;
    bool m_readDue = false;

    uint64_t m_unplugAfter = 0;
    bool m_unplugDue = false;
    uint64_t m_muteAfter = kNever;
    std::map<uint64_t, size_t> m_shortAnswers;
    std::set<uint64_t> m_lateAnswers;
    std::set<uint64_t> m_doubleAnswers;

    CSimWriterCounters m_counters;
};

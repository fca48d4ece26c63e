// The simulated writer's firmware: the command language of the packets, the
// writer's own hardware (LEDs, DC-DC converter, MCLR switch, socket wiring),
// the timed waits, the identification answer, and the ICSP shifting that
// drives the chip in the socket.
//
// Packets are runs of commands: an opcode and a fixed number of operands
// (0x80 +1, 0x81 +3, 0x82 +1, 0x83 +3, 0x84 +1, 0x85 +3, 0x86 +1, 0x87 +1,
// 0x88 +1); a 0x00 byte is a no-op. The answer holds the bytes the read
// commands produced, in order (0x84: two, low byte first; 0x86: one; the
// identification: the banner); a packet without any gets the one-byte
// acknowledgement kAck. A malformed packet (unknown opcode, missing operands,
// more than 64 bytes) stops at the fault; the error is counted and its text
// kept.
//
// The chip sees the programming voltage only while MCLR is switched to VPP,
// the DC-DC converter runs and the socket wiring suits its package (ICSP
// suits every package). A rising programming voltage puts it into
// programming mode, a falling one takes it out. VDD reaches a wired chip
// while MCLR is out of its normal state (held in reset or at VPP): the
// writer cannot raise VPP before VDD, so a chip that needs VPP first gets
// the nearest thing, VPP in the same control step as VDD.
//
// Time is simulated, in nanoseconds: a wait counts from its start value V to
// the 16-bit overflow at a quarter of the clock, (65536 - V) * 4 / ClockMHz
// microseconds; each ICSP command costs its shift clocks. Not thread-safe:
// the owner serialises calls.
#pragma once

#include "sim/SimChip.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class ESimMclr { Normal, Reset, Vpp };
enum class ESimSocket {
    Small18,     // code 7: 8/14/18-pin socket, wired for 18 pins
    Small8And14, // code 12: the same socket wired for 8- and 14-pin packages
    Large,       // code 8: 28/40-pin socket
    Icsp,        // code 9: the in-circuit connector
};

struct CSimFirmwareConfig {
    unsigned ClockMHz = 20; // the clock the wait counter runs from
    // Identification answer: 'K', product character, two version characters,
    // clock in MHz. Four bytes or fewer make the host fall back to version 0.
    std::vector<uint8_t> Banner = {'K', '3', '1', '7', 20};
    uint32_t IcspBitNs = 1000;   // one ICSP clock period
    uint32_t IcspDelayNs = 1000; // between a command and its data bits
    uint32_t ControlNs = 0;      // one writer-control step
};

struct CSimFirmwareCounters {
    uint64_t Packets = 0;
    uint64_t Errors = 0; // malformed packets and unknown control codes
    uint64_t Waits = 0;
    uint64_t ChipCommands = 0;           // ICSP commands shifted (opcodes 0x82-0x88)
    uint64_t ChipCommandsWithoutVpp = 0; // ... while the chip had no programming voltage
    uint64_t ChipCommandsUnwired = 0;    // ... with no chip, or a socket wiring that misses it
};

class CSimFirmware {
public:
    static constexpr size_t kMaxPacket = 64;
    static constexpr uint8_t kAck = 0x00;

    explicit CSimFirmware(CSimFirmwareConfig config = {});

    // The chip in the socket (not owned; nullptr = empty socket).
    void SetChip(ISimChip* chip);
    ISimChip* Chip() const { return m_chip; }

    // USB power arriving: LEDs and converter off, MCLR normal, socket ICSP.
    void PowerOn();
    // USB power gone: the chip loses any programming voltage.
    void PowerOff();

    std::vector<uint8_t> RunPacket(const uint8_t* data, size_t length);

    uint64_t NowNs() const { return m_nowNs; }
    uint64_t NowUs() const { return m_nowNs / 1000; }
    void AdvanceNs(uint64_t ns) { m_nowNs += ns; }
    // Length of a wait that starts its counter at V.
    static uint64_t WaitNs(uint16_t start, unsigned clockMHz);

    bool PowerLed() const { return m_powerLed; }
    bool BusyLed() const { return m_busyLed; }
    bool ErrorLed() const { return m_errorLed; }
    bool DcDc() const { return m_dcdc; }
    ESimMclr Mclr() const { return m_mclr; }
    ESimSocket Socket() const { return m_socket; }
    // MCLR switched to VPP with the converter making the voltage.
    bool VppOn() const { return m_mclr == ESimMclr::Vpp && m_dcdc; }
    bool ChipWired() const;
    bool ChipHasVpp() const { return m_chipVpp; }
    bool ChipHasVdd() const { return m_chipVdd; }

    const CSimFirmwareCounters& Counters() const { return m_counters; }
    const std::string& LastError() const { return m_lastError; }
    const CSimFirmwareConfig& Config() const { return m_config; }

private:
    void Control(uint8_t code, std::vector<uint8_t>& answer);
    void UpdateChipPower();
    void Fault(const std::string& text);
    bool ChipReachable(); // counts the command; true when the chip gets it
    void Shift(uint32_t bits) { m_nowNs += static_cast<uint64_t>(bits) * m_config.IcspBitNs; }

    CSimFirmwareConfig m_config;
    ISimChip* m_chip = nullptr;
    CSimFirmwareCounters m_counters;
    std::string m_lastError;
    uint64_t m_nowNs = 0;

    bool m_powerLed = false;
    bool m_busyLed = false;
    bool m_errorLed = false;
    bool m_dcdc = false;
    ESimMclr m_mclr = ESimMclr::Normal;
    ESimSocket m_socket = ESimSocket::Icsp;
    bool m_chipVpp = false;
    bool m_chipVdd = false;
    bool m_identArmed = false; // control code 0x80 seen, 0x81 completes the identification
};

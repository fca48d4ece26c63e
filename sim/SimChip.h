// A simulated chip in the simulated writer's socket.
//
// The simulated firmware (CSimFirmware) decodes the host's packets and drives
// the chip through this interface at the ICSP level: the programming mode
// (MCLR at VPP with the DC-DC converter on), 6-bit mid-range commands with or
// without a data word, 4-bit PIC18 commands, and the held NOP of PIC18
// programming and erase cycles. The chip models what the silicon does with
// those commands, as Microchip documents it for programmers; it never looks
// at the packets themselves.
//
// Time: every call carries the writer's simulated clock in microseconds
// (monotonic, starting at 0). A chip uses it to decide whether a programming
// or erase cycle was given its minimum time before the next command arrived.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ESimTiming {
    Typical, // a cycle succeeds when given at least its typical time
    Strict,  // a cycle succeeds only when given its maximum time
};

// What a test can read back about the chip's own behaviour.
struct CSimChipCounters {
    uint64_t Commands = 0;        // ICSP commands received while in programming mode
    uint64_t CommandsIgnored = 0; // commands received outside programming mode
    uint64_t UnknownCommands = 0; // commands this chip's command set does not define
    uint64_t CyclesCompleted = 0; // programming or erase cycles that took effect
    uint64_t CyclesTooShort = 0;  // cycles cut short (cells unchanged): every kind below, and more
    uint64_t CyclesNotEnded = 0;  // ... externally timed cycles not ended by the family's End Programming
    uint64_t DischargeCut = 0;    // ... cycles followed by a command within their discharge time
    uint64_t ProgrammingEntries = 0;
    uint64_t EntriesRefused = 0; // programming voltage that came too long after VDD for this configuration
};

class ISimChip {
public:
    virtual ~ISimChip() = default;

    // Device name of the model (as in the catalogue), for messages.
    virtual std::string Name() const = 0;
    // 14 for a mid-range chip, 8 for a PIC18 chip.
    virtual int CoreWidth() const = 0;
    // Package pin count; the socket wiring must suit it unless ICSP is used.
    virtual int PinCount() const = 0;

    // Programming mode on (VPP applied with the chip powered) or off. Entering
    // it resets the address counter / table pointer; leaving it ends any
    // cycle in progress as the silicon would. A chip may refuse to enter (it
    // counts EntriesRefused and stays out), see PowerUp.
    virtual void SetProgrammingMode(bool on, uint64_t nowUs) = 0;
    // VDD reaching the chip (the writer takes MCLR out of its normal state).
    // A chip whose configuration turns MCLR off and runs on its internal
    // oscillator starts its own code soon after; it then enters programming
    // mode only when VPP follows VDD within its start-up time (VPP first).
    virtual void PowerUp(uint64_t nowUs) { (void)nowUs; }
    virtual bool InProgrammingMode() const = 0;

    // Mid-range: a 6-bit command alone (opcode 0x82 of the writer).
    virtual void MidCommand(uint8_t command, uint64_t nowUs) { (void)command, (void)nowUs; }
    // Mid-range: a 6-bit command followed by 16 data bits as shifted (start
    // bit, 14 data bits, stop bit: the word is raw >> 1 & 0x3FFF).
    virtual void MidLoad(uint8_t command, uint16_t raw, uint64_t nowUs) {
        (void)command, (void)raw, (void)nowUs;
    }
    // Mid-range: a 6-bit command followed by 16 data bits read from the chip,
    // in the same raw form (a chip that drives nothing reads as 0xFFFF).
    virtual uint16_t MidRead(uint8_t command, uint64_t nowUs) {
        (void)command, (void)nowUs;
        return 0xFFFF;
    }

    // PIC18: a 4-bit command with its 16-bit operand (opcode 0x85).
    virtual void Pic18Command(uint8_t command, uint16_t operand, uint64_t nowUs) {
        (void)command, (void)operand, (void)nowUs;
    }
    // PIC18: a 4-bit command that shifts a byte out of the chip (opcode 0x86).
    virtual uint8_t Pic18Read(uint8_t command, uint64_t nowUs) {
        (void)command, (void)nowUs;
        return 0xFF;
    }
    // PIC18: the held NOP that starts a programming (0xF0) or erase (0x00)
    // cycle (opcode 0x87), and its end (opcode 0x88).
    virtual void Pic18HoldBegin(uint8_t operand, uint64_t nowUs) { (void)operand, (void)nowUs; }
    virtual void Pic18HoldEnd(uint64_t nowUs) { (void)nowUs; }

    virtual const CSimChipCounters& Counters() const = 0;

    // The chip's memories as a flat list of named regions, for tests and for
    // saving the chip to a file and loading it again.
    virtual bool SaveToFile(const std::string& path) const = 0;
    virtual bool LoadFromFile(const std::string& path) = 0;
};

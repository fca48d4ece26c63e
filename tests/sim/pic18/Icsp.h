// A tiny ICSP host for the chip tests: the building blocks of Microchip's
// PIC18 ICSP documents (core instructions, table pointer, buffer loads,
// held NOPs) on a clock that advances 1 µs per command.
#pragma once

#include "sim/pic18/Pic18Chip.h"

#include <cstdint>
#include <vector>

// Core instructions used below.
constexpr uint16_t kBsfEepgd = 0x8EA6;
constexpr uint16_t kBcfEepgd = 0x9EA6;
constexpr uint16_t kBsfCfgs = 0x8CA6;
constexpr uint16_t kBcfCfgs = 0x9CA6;
constexpr uint16_t kBsfWren = 0x84A6;
constexpr uint16_t kBcfWren = 0x94A6;
constexpr uint16_t kBsfWr = 0x82A6;
constexpr uint16_t kBsfRd = 0x80A6;
constexpr uint16_t kMovfEecon1W = 0x50A6;
constexpr uint16_t kMovfEedataW = 0x50A8;
constexpr uint16_t kMovwfTablat = 0x6EF5;
constexpr uint16_t kMovwfEecon2 = 0x6EA7;
constexpr uint16_t kNop = 0x0000;
constexpr uint16_t Movlw(uint8_t k) {
    return static_cast<uint16_t>(0x0E00 | k);
}

class CIcsp {
public:
    explicit CIcsp(CPic18Chip& chip) : m_chip(chip) {}

    uint64_t Now() const { return m_now; }
    void Wait(uint64_t us) { m_now += us; }

    void Enter() { m_chip.SetProgrammingMode(true, Tick()); }
    void Exit() { m_chip.SetProgrammingMode(false, Tick()); }

    void Instr(uint16_t word) { m_chip.Pic18Command(0x0, word, Tick()); }
    void Cmd(uint8_t command, uint16_t operand) { m_chip.Pic18Command(command, operand, Tick()); }
    uint8_t Read(uint8_t command) { return m_chip.Pic18Read(command, Tick()); }

    void SetTblptr(uint32_t address) {
        Instr(Movlw(static_cast<uint8_t>(address >> 16)));
        Instr(0x6EF8);
        Instr(Movlw(static_cast<uint8_t>(address >> 8)));
        Instr(0x6EF7);
        Instr(Movlw(static_cast<uint8_t>(address)));
        Instr(0x6EF6);
    }

    std::vector<uint8_t> ReadBlock(uint32_t address, size_t n) {
        SetTblptr(address);
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < n; ++i) {
            bytes.push_back(Read(0x9));
        }
        return bytes;
    }

    // The held NOP of a programming (PGC high) or erase (PGD low) cycle,
    // then PGC low for lowUs (P10) before the next command.
    void Hold(uint8_t operand, uint64_t us, uint64_t lowUs = 100) {
        m_chip.Pic18HoldBegin(operand, Tick());
        m_now += us;
        m_chip.Pic18HoldEnd(m_now);
        m_now += lowUs;
    }

    // Loads bytes (an even count) from address on, two per command, and
    // starts programming with the last pair.
    void LoadAndProgram(uint32_t address, const std::vector<uint8_t>& bytes, uint64_t holdUs) {
        SetTblptr(address);
        for (size_t i = 0; i + 2 < bytes.size(); i += 2) {
            Cmd(0xD, static_cast<uint16_t>(bytes[i] | bytes[i + 1] << 8));
        }
        const size_t last = bytes.size() - 2;
        Cmd(0xF, static_cast<uint16_t>(bytes[last] | bytes[last + 1] << 8));
        Hold(0xF0, holdUs);
    }

    void SelectCode() {
        Instr(kBsfEepgd);
        Instr(kBcfCfgs);
    }
    void SelectConfig() {
        Instr(kBsfEepgd);
        Instr(kBsfCfgs);
    }

    void PanelMode(uint8_t value) {
        SelectConfig();
        SetTblptr(kPic18PanelRegisterAddress);
        Cmd(0xC, value);
        SelectCode();
    }

    // One configuration byte: even addresses take the operand's low byte,
    // odd ones its high byte.
    void ProgramConfig(int index, uint8_t value, uint64_t holdUs) {
        SelectConfig();
        SetTblptr(kPic18ConfigAddress + static_cast<uint32_t>(index));
        Cmd(0xF, (index & 1) != 0 ? static_cast<uint16_t>(value << 8 | 0xFF)
                                  : static_cast<uint16_t>(0xFF00 | value));
        Hold(0xF0, holdUs);
    }

    // A bulk erase key: one byte at 0x3C0004, or 16 bits at 3C0005:3C0004.
    void BulkErase(uint16_t key, bool sixteenBits, uint64_t holdUs) {
        if (sixteenBits) {
            SetTblptr(kPic18EraseKeyAddress + 1);
            const uint8_t high = static_cast<uint8_t>(key >> 8);
            Cmd(0xC, static_cast<uint16_t>(high << 8 | high));
        }
        SetTblptr(kPic18EraseKeyAddress);
        const uint8_t low = static_cast<uint8_t>(key);
        Cmd(0xC, static_cast<uint16_t>(low << 8 | low));
        Instr(kNop);
        Hold(0x00, holdUs);
    }

    uint8_t Eecon1() {
        Instr(kMovfEecon1W);
        Instr(kMovwfTablat);
        Instr(kNop);
        return Read(0x2);
    }

    // Starts a data EEPROM write; the unlock sequence when asked.
    void StartEepromWrite(uint32_t address, uint8_t value, bool unlock) {
        Instr(kBcfEepgd);
        Instr(kBcfCfgs);
        Instr(Movlw(static_cast<uint8_t>(address)));
        Instr(0x6EA9);
        Instr(Movlw(static_cast<uint8_t>(address >> 8)));
        Instr(0x6EAA);
        Instr(Movlw(value));
        Instr(0x6EA8);
        Instr(kBsfWren);
        if (unlock) {
            Instr(Movlw(0x55));
            Instr(kMovwfEecon2);
            Instr(Movlw(0xAA));
            Instr(kMovwfEecon2);
        }
        Instr(kBsfWr);
    }

    uint8_t ReadEeprom(uint32_t address) {
        Instr(kBcfEepgd);
        Instr(kBcfCfgs);
        Instr(Movlw(static_cast<uint8_t>(address)));
        Instr(0x6EA9);
        Instr(Movlw(static_cast<uint8_t>(address >> 8)));
        Instr(0x6EAA);
        Instr(kBsfRd);
        Instr(kMovfEedataW);
        Instr(kMovwfTablat);
        Instr(kNop);
        return Read(0x2);
    }

private:
    uint64_t Tick() { return ++m_now; }

    CPic18Chip& m_chip;
    uint64_t m_now = 0;
};

inline std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<uint8_t>((i * 37 + seed * 101 + (i >> 8)) ^ 0x5A);
    }
    return bytes;
}

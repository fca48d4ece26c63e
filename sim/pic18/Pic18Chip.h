// The simulated PIC18 flash chip: what the silicon does with the 4-bit ICSP
// commands, the core instructions fed through command 0000, the table
// pointer, the write buffer, the held-NOP programming and erase cycles, the
// erase keys, data EEPROM through EECON1/EECON2 and code protection.
//
// Program memory, ID locations and configuration are reached through the
// 22-bit table pointer; data EEPROM through EEADR(H)/EEDATA/EECON1. A
// programming cycle (command 1111, then the held NOP 0x87 0xF0 ... 0x88) and
// an erase cycle (key written to 0x3C0004, then the held NOP 0x87 0x00 ...
// 0x88) take effect only when the hold lasts at least the family's time
// (typical or strict) and PGC then stays low for the family's P10 before the
// next command; a shorter hold or low time leaves the cells unchanged. Flash cells
// only go from 1 to 0 when programmed; the erase keys of each family are
// decoded by the table in Pic18Models.cpp.
//
// Not thread-safe: one simulated writer drives one chip.
#pragma once

#include "sim/SimChip.h"
#include "sim/pic18/Pic18Models.h"

#include <array>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

// A simulated chip of the named PIC18 device ("PIC18F452", ...), erased and
// blank, or nullptr when the device is not in the simulator's device table.
std::unique_ptr<ISimChip> MakePic18SimChip(const std::string& name, ESimTiming timing);

// What the PIC18 chip counts beyond the common counters.
struct CPic18Counters {
    uint64_t UnsupportedInstructions = 0; // core instructions the model does not carry out (harmless)
    uint64_t MisdirectedCommands = 0;     // a non-read command sent as a read, a hold end without a hold
    uint64_t ProgrammingCycles = 0;       // completed code, ID and configuration cycles
    uint64_t ProgrammingTooShort = 0;     // programming cycles cut short (cells unchanged)
    uint64_t ProgrammingNoTarget = 0;     // timed cycles that reached no cell (address, EECON1 selection)
    uint64_t EraseCycles = 0;             // completed bulk erases
    uint64_t EraseTooShort = 0;           // bulk erases cut short (cells unchanged)
    uint64_t EraseKeysUnknown = 0;        // erase holds whose key names nothing this family erases
    uint64_t EepromWrites = 0;            // completed data EEPROM writes
    uint64_t EepromWritesLost = 0;        // EEPROM writes cut by leaving programming mode
    uint64_t EepromWritesRefused = 0;     // WR set without WREN, during a write, or not aimed at EEPROM
    uint64_t UnlockFailures = 0;          // WR set without 55h/AAh where the family needs them
    uint64_t DischargeCut = 0;            // cycles followed by a command within P10 (cells unchanged)
};

class CPic18Chip final : public ISimChip {
public:
    CPic18Chip(CPic18Model model, ESimTiming timing);

    std::string Name() const override { return m_model.Name; }
    int CoreWidth() const override { return 8; }
    int PinCount() const override { return m_model.PinCount; }

    void SetProgrammingMode(bool on, uint64_t nowUs) override;
    bool InProgrammingMode() const override { return m_on; }

    // A mid-range command means nothing to a PIC18: counted, no effect.
    void MidCommand(uint8_t command, uint64_t nowUs) override;
    void MidLoad(uint8_t command, uint16_t raw, uint64_t nowUs) override;
    uint16_t MidRead(uint8_t command, uint64_t nowUs) override;

    void Pic18Command(uint8_t command, uint16_t operand, uint64_t nowUs) override;
    uint8_t Pic18Read(uint8_t command, uint64_t nowUs) override;
    void Pic18HoldBegin(uint8_t operand, uint64_t nowUs) override;
    void Pic18HoldEnd(uint64_t nowUs) override;

    const CSimChipCounters& Counters() const override { return m_counters; }

    // Text file with the model name, device ID and every memory; Load
    // refuses (false, chip unchanged) a file of another model or any line it
    // cannot read.
    bool SaveToFile(const std::string& path) const override;
    bool LoadFromFile(const std::string& path) override;

    // Inspection: raw cell contents, as the cells hold them (no code
    // protection). Addresses outside a memory read 0.
    const CPic18Model& Model() const { return m_model; }
    const CPic18FamilyParams& Family() const { return *m_family; }
    ESimTiming Timing() const { return m_timing; }
    uint8_t ProgramByte(uint32_t address) const;
    uint8_t IdByte(int index) const;
    uint8_t ConfigByte(int index) const;
    uint8_t EepromByte(uint32_t address) const;
    uint16_t DeviceIdWord() const { return m_deviceIdWord; } // DEVID2 << 8 | DEVID1
    uint32_t TablePointer() const { return m_tblptr; }
    uint32_t ProgramCounter() const { return m_pc; }
    bool MultiPanel() const { return m_family->HasPanelRegister && (m_panelRegister & 0x40) != 0; }
    const CPic18Counters& Pic18Counters() const { return m_p18; }
    // Completed programming cycles that reached the cell at this table
    // address: code and ID cells count a byte other than 0xFF, configuration
    // cells every cycle.
    uint32_t CellWrites(uint32_t address) const;
    uint32_t EepromCellWrites(uint32_t address) const;

    // Set-up and fault injection.
    void SetProgramByte(uint32_t address, uint8_t value);
    void SetIdByte(int index, uint8_t value);
    void SetConfigByte(int index, uint8_t value); // unimplemented bits stay 0
    void SetEepromByte(uint32_t address, uint8_t value);
    void SetDeviceId(uint16_t word);     // a chip of another device ID
    void SetStuckCell(uint32_t address); // a cell that will not program (erase still works)
    void SetStuckEepromCell(uint32_t address);
    // Microchip's ICSP write sequences set EEPGD (and CFGS for configuration)
    // before every write, and EECON1 comes up with them undefined. With gating
    // on, a code or ID cycle needs EEPGD = 1, CFGS = 0 and a configuration
    // cycle EEPGD = 1, CFGS = 1, with both clear after entry; off (default),
    // the target follows the table pointer alone.
    void SetEecon1Gating(bool on) { m_eecon1Gating = on; }

private:
    enum class ESpace { Code, Id, Config, EraseKeyLow, EraseKeyHigh, PanelRegister, DeviceId, None };
    struct CHold {
        bool Active = false;
        uint8_t Operand = 0;
        uint64_t StartUs = 0;
    };
    // A cycle whose hold has ended, waiting out P10, and what it changed.
    struct CDischarge {
        bool Active = false;
        bool Erase = false;
        uint64_t HoldEndUs = 0;
    };
    struct CUndo {
        bool Recording = false;
        bool Everything = false;
        std::vector<std::pair<uint8_t*, uint8_t>> Cells;
        std::vector<uint8_t> Program, Eeprom;
        std::array<uint8_t, kPic18IdBytes> Ids{};
        std::array<uint8_t, kPic18ConfigBytes> Config{};
    };
    struct CEepromWrite {
        bool Busy = false;
        uint64_t DoneUs = 0;
        uint32_t Address = 0;
        uint8_t Data = 0;
    };

    // Pic18Chip.cpp: time, mode, holds and cycles.
    void Advance(uint64_t nowUs);
    void ResetVolatileState();
    void Clocked();
    void FinishHold(uint64_t nowUs);
    void SettleDischarge(uint64_t nowUs);
    void BeginUndo(bool everything);
    void Remember(uint8_t& cell);
    void DropPendingProgramming();
    uint32_t ProgrammingTimeUs() const;
    uint32_t EraseTimeUs() const;
    uint32_t EepromTimeUs() const;

    // Pic18Core.cpp: the core instruction interpreter and EECON1.
    void ExecuteInstruction(uint16_t word, uint64_t nowUs);
    void WriteSfr(uint8_t f, uint8_t value, uint64_t nowUs, bool setsWr, bool setsRd, bool unlocked);
    uint8_t ReadSfr(uint8_t f, bool& known) const;
    uint8_t Eecon1Value() const;
    void StartEepromWrite(uint64_t nowUs, bool unlocked);
    void ReadEeprom();
    uint32_t EepromAddress() const;

    // Pic18Memory.cpp: table reads and writes, buffers, programming, erase.
    ESpace SpaceOf(uint32_t address) const;
    bool TableReadCommand(uint8_t command, uint8_t& value);
    uint8_t TableReadByte(uint32_t address) const;
    void TableWrite(uint16_t data);
    void ArmProgramming();
    bool ProgramArmed();
    void ProgramRow(std::vector<uint8_t>& buffer, uint32_t rowBase);
    void ProgramConfig();
    CPic18EraseSet DecodeEraseKey() const;
    void ApplyErase(const CPic18EraseSet& set);
    void EraseCodeRange(uint32_t start, uint32_t end);
    void UnprotectRange(uint32_t start, uint32_t end);
    bool CodeReadProtected(uint32_t address) const;
    bool EepromReadProtected() const;
    size_t BufferIndexFor(uint32_t address) const;

    CPic18Model m_model;
    const CPic18FamilyParams* m_family;
    ESimTiming m_timing;
    CSimChipCounters m_counters;
    CPic18Counters m_p18;

    // Non-volatile cells.
    std::vector<uint8_t> m_program;
    std::array<uint8_t, kPic18IdBytes> m_ids{};
    std::array<uint8_t, kPic18ConfigBytes> m_config{};
    std::vector<uint8_t> m_eeprom;
    uint16_t m_deviceIdWord = 0;
    std::set<uint32_t> m_stuck;
    std::set<uint32_t> m_stuckEeprom;
    std::map<uint32_t, uint32_t> m_cellWrites;
    std::vector<uint32_t> m_eepromCellWrites;
    bool m_eecon1Gating = false;

    // State that programming-mode entry resets.
    bool m_on = false;
    uint64_t m_lastUs = 0;
    uint32_t m_tblptr = 0;
    uint8_t m_w = 0;
    uint8_t m_tablat = 0;
    uint8_t m_eeadr = 0;
    uint8_t m_eeadrh = 0;
    uint8_t m_eedata = 0;
    uint8_t m_eecon1 = 0; // EEPGD, CFGS, FREE, WRERR, WREN; WR and RD are derived
    int m_unlockStep = 0; // 0 none, 1 after 55h, 2 after AAh
    bool m_gotoPending = false;
    uint8_t m_gotoLow = 0;
    uint32_t m_pc = 0;
    uint8_t m_panelRegister = 0;
    uint8_t m_eraseKeyLow = 0;
    uint8_t m_eraseKeyHigh = 0;
    bool m_eraseArmed = false;
    std::vector<std::vector<uint8_t>> m_buffers; // one per panel, the last for the ID locations
    bool m_programArmed = false;
    uint32_t m_programAddress = 0;
    uint8_t m_programEecon1 = 0;
    bool m_configLatchValid = false;
    int m_configLatchIndex = 0;
    uint8_t m_configLatchValue = 0xFF;
    CHold m_hold;
    CDischarge m_discharge;
    CUndo m_undo;
    CEepromWrite m_eepromWrite;
};

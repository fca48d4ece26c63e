// The simulated mid-range flash chip: what the silicon does with the 6-bit
// ICSP commands of its Microchip programming document (DSnnnnn).
//
// The model, common to all families (differences come from CMidFamily):
//  - The address counter (PC) is 14 bits. Entering programming mode sets it
//    to 0; Load Configuration sets it to 0x2000 and is the only way into the
//    configuration space, and only leaving programming mode gets back out.
//    Increment Address counts the low 13 bits, so the counter wraps from
//    0x1FFF to 0x0000 in program memory and from 0x3FFF to 0x2000 in
//    configuration space (the top bit is a memory select, as the memory maps
//    of DS39589B Fig 2-1 and DS41191D Fig 2-1 show). Program memory decodes
//    only the implemented address bits, so address A reaches word
//    A mod size; data EEPROM is addressed by the low PC bits the same way.
//  - Load Data writes the data latch and, for a program address, the write
//    latch PC mod LatchWords. A program cycle commits the whole latch row that
//    holds the current PC; latches not loaded since they were last reset hold
//    0x3FFF, which a program-only cycle leaves unchanged.
//  - A cycle (programming or erase) takes effect only when it has been given
//    its time (typical, or maximum in strict timing) before the next command
//    that the chip decodes, or before the programming voltage goes. Cut short,
//    it leaves the cells as they were. An externally timed cycle ends only at
//    the family's End Programming command: any other command it decodes, or
//    the programming voltage going, cuts it short; a command the family does
//    not know is ignored and the cycle runs on. Where the family has a
//    discharge time (TDIS) after End Programming, the cycle takes effect only
//    when no command is clocked in before that time has passed.
//  - Entry: with MCLR turned off and the internal oscillator selected, the
//    chip enters programming mode only when VPP follows VDD within the
//    family's window (the VPP-first entry); otherwise it stays out and counts
//    the refusal.
//  - Code protection (CP bits 0) makes program memory read as 0 (F-A keeps
//    the OSCCAL word readable); CPD makes data EEPROM read as 0. Only the
//    erases that reset the configuration word lift it; which ones do is per
//    family. No program cycle sets a CP or CPD bit back to 1; programming
//    itself is not blocked by protection.
//  - Faults for tests: a cell that keeps its value, another device ID.
#pragma once

#include "sim/MidRangeModels.h"
#include "sim/SimChip.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class EMidRegion { Program, Eeprom, UserId, Config, Calibration };

class CMidRangeChip : public ISimChip {
public:
    // A blank chip: program memory 0x3FFF, EEPROM 0xFF, user IDs 0x3FFF,
    // configuration erased, factory calibration and device ID in place.
    CMidRangeChip(const CMidDevice& device, const CMidFamily& family, ESimTiming timing);

    std::string Name() const override { return m_device.Name; }
    int CoreWidth() const override { return 14; }
    int PinCount() const override { return m_device.Pins; }

    void SetProgrammingMode(bool on, uint64_t nowUs) override;
    bool InProgrammingMode() const override { return m_programming; }
    void PowerUp(uint64_t nowUs) override;

    void MidCommand(uint8_t command, uint64_t nowUs) override;
    void MidLoad(uint8_t command, uint16_t raw, uint64_t nowUs) override;
    uint16_t MidRead(uint8_t command, uint64_t nowUs) override;

    const CSimChipCounters& Counters() const override { return m_counters; }

    // Text file: model name, every region, device ID word, and the derived
    // protection state as a comment. Load accepts only a file of this model
    // and changes nothing unless the whole file is valid.
    bool SaveToFile(const std::string& path) const override;
    bool LoadFromFile(const std::string& path) override;

    // --- model facts and test access ---
    const CMidDevice& Device() const { return m_device; }
    const CMidFamily& Family() const { return m_family; }
    ESimTiming Timing() const { return m_timing; }
    uint16_t Address() const { return m_pc; }

    size_t RegionSize(EMidRegion region) const;
    // The value a cell holds (configuration words as they read, unimplemented
    // bits included); protection does not hide it. 0xFFFF outside the region.
    uint16_t Peek(EMidRegion region, size_t index) const;
    // Sets a cell as a fixture would; false outside the region.
    bool Poke(EMidRegion region, size_t index, uint16_t value);
    // How often programming cycles have written the cell (erases not counted).
    uint32_t WritesAt(EMidRegion region, size_t index) const;
    uint64_t TotalWrites() const;

    bool CodeProtected() const;
    bool DataProtected() const;

    uint16_t DeviceIdWord() const { return m_deviceId; }
    // Fault: the chip reports this word at 0x2006.
    void SetDeviceIdWord(uint16_t word) { m_deviceId = static_cast<uint16_t>(word & 0x3FFF); }
    // Fault: the cell keeps its value through every program and erase cycle.
    bool SetStuckCell(EMidRegion region, size_t index, bool stuck = true);

private:
    enum class ECycleKind {
        ProgramRow,
        ProgramIdRow,
        ProgramConfig,
        ProgramData,
        EraseRow,
        EraseDataByte,
        EraseNothing,
        BulkProgram,
        BulkData,
        ChipErase,
        SetupErase,
    };
    struct Cycle {
        bool Active = false;
        ECycleKind Kind = ECycleKind::EraseNothing;
        bool External = false;
        bool Replace = false; // erase before write
        uint64_t StartUs = 0;
        uint32_t NeedUs = 0;
        uint16_t Pc = 0;
        bool DataSelected = false;
        std::array<uint16_t, 8> Row{};
        uint8_t Loaded = 0;
        uint16_t Word = 0x3FFF;
    };
    struct Cells {
        std::vector<uint16_t> Value;
        std::vector<uint32_t> Writes;
        std::vector<uint8_t> Stuck;
    };
    enum class EArmed { None, Program, Data };
    enum : int {
        kLoadConfig = 0x00,
        kSetup1 = 0x01,
        kLoadProgram = 0x02,
        kLoadData = 0x03,
        kReadProgram = 0x04,
        kReadData = 0x05,
        kIncrement = 0x06,
        kSetup2 = 0x07,
        kBegin = 0x08,
        kBulkProgram = 0x09,
        kBulkData = 0x0B,
        kBeginProgramOnly = 0x18,
        kChipErase = 0x1F,
    };

    // command decoding and dispatch (MidRangeChip.cpp)
    int Decode(uint8_t command) const;
    bool Arrive(uint8_t command, uint64_t nowUs, int& code);
    void FinishCycle(uint64_t nowUs, int code);
    void SettleDischarge(uint64_t nowUs);
    bool RunsOwnCode() const;
    void Execute(int code, uint16_t word, uint64_t nowUs);
    void LoadWord(uint16_t word);
    void BeginCommand08(uint64_t nowUs);
    void BeginCommand18(uint64_t nowUs);
    void BeginBulk(bool data, uint64_t nowUs);
    void StartProgram(bool replace, bool external, const CMidCycleTime& time, uint64_t nowUs);
    void Start(ECycleKind kind, bool external, const CMidCycleTime& time, uint64_t nowUs);
    uint32_t Need(const CMidCycleTime& time) const;
    void ResetLatches();

    // memory (MidRangeChipMemory.cpp)
    void InitBlank();
    Cells* RegionCells(EMidRegion region);
    const Cells* RegionCells(EMidRegion region) const;
    uint16_t CellMask(EMidRegion region, size_t index) const;
    uint16_t ErasedValue(EMidRegion region, size_t index) const;
    void WriteCell(EMidRegion region, size_t index, uint16_t value, bool replace, bool counted);
    void EraseCell(EMidRegion region, size_t index);
    void EraseRegion(EMidRegion region);
    bool ConfigAddress(uint16_t pc, EMidRegion& region, size_t& index) const;
    uint16_t ReadProgramSpace(uint16_t pc) const;
    uint16_t ReadDataSpace(uint16_t pc) const;
    void ApplyCycle(const Cycle& cycle);
    void ApplyBulkProgram(uint16_t pc);
    void ApplyBulkData();
    void ApplyChipErase(uint16_t pc);
    void ApplySetupErase(const Cycle& cycle);
    void ApplyRowErase(uint16_t pc, uint16_t words);

    const CMidDevice& m_device;
    const CMidFamily& m_family;
    ESimTiming m_timing;
    CSimChipCounters m_counters;

    Cells m_program, m_eeprom, m_userId, m_config, m_calibration;
    uint16_t m_deviceId = 0x3FFF;

    bool m_programming = false;
    uint16_t m_pc = 0;
    std::array<uint16_t, 8> m_latch{};
    uint8_t m_loaded = 0;
    uint16_t m_dataLatch = 0x3FFF;
    bool m_dataLoaded = false;
    uint16_t m_eeLatch = 0xFF;
    bool m_dataSelected = false; // the last load was Load Data for Data Memory
    EArmed m_armed = EArmed::None;
    int m_setupStep = 0; // 0x01 then 0x07 seen
    Cycle m_cycle;
    // A cycle ended by End Programming, waiting out its discharge time.
    Cycle m_discharging;
    uint64_t m_dischargedUs = 0;
    bool m_vddKnown = false;
    uint64_t m_vddSinceUs = 0;
};

// A blank chip of a catalogue name, or nullptr for a name the table lacks.
std::unique_ptr<CMidRangeChip> MakeMidRangeChip(const std::string& name, ESimTiming timing);
std::unique_ptr<ISimChip> MakeMidRangeSimChip(const std::string& name, ESimTiming timing);
